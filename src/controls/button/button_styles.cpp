// The style routines with plain edges: 0 classic raised, 1 flat with a raised hover, 3 etched
// metal, 4 thick proportional bevel, 6 toolbar (edges only on hover), 7 grey-framed with
// soft corners. Each fills its colour table for the current look and paints with the shared
// painters.
#include "button_styles.h"

namespace controls::engine {

namespace {

int Shift(quint32 rgb, int amount, ShiftKind kind = ShiftKind::Plain) {
    return int(ShiftColor(rgb, amount, kind));
}

// Style 0: white and black outside, light and grey inside; a black frame for the default
// button; flat grey when pressed; sunken when checked.
void FillClassic(PaintJob& job) {
    const quint32 f = job.faceColor;
    const int hi = Shift(f, 64), light = Shift(f, 24), shadow = Shift(f, -64),
              dark = Shift(f, -160);
    ColorTable& t = job.table;
    switch (VisualOf(job.look)) {
    case Visual::Default:
        SetRing(t, 0, AllSides(dark));
        SetRing(t, 1, {hi, hi, dark, dark});
        SetRing(t, 2, {light, light, shadow, shadow});
        break;
    case Visual::Pressed:
        SetRing(t, 0, AllSides(dark));
        SetRing(t, 1, AllSides(shadow));
        break;
    case Visual::Checked:
        SetRing(t, 0, {shadow, shadow, hi, hi});
        SetRing(t, 1, {dark, dark, light, light});
        break;
    default:
        SetRing(t, 0, {hi, hi, dark, dark});
        SetRing(t, 1, {light, light, shadow, shadow});
        break;
    }
}

// Style 1: a grey one-pixel frame; raised while hovered, sunken while pressed or checked.
void FillFlat(PaintJob& job) {
    const quint32 f = job.faceColor;
    const int hi = Shift(f, 64), soft = Shift(f, -32), shadow = Shift(f, -64),
              dark = Shift(f, -160);
    ColorTable& t = job.table;
    switch (VisualOf(job.look)) {
    case Visual::Hot:
        SetRing(t, 0, AllSides(shadow));
        SetRing(t, 1, {hi, hi, soft, soft});
        break;
    case Visual::Default:
        SetRing(t, 0, AllSides(dark));
        SetRing(t, 1, job.look.hot ? Bevel{hi, hi, soft, soft} : Bevel{});
        break;
    case Visual::Pressed:
    case Visual::Checked:
        SetRing(t, 0, AllSides(dark));
        SetRing(t, 1, {soft, soft, hi, hi});
        break;
    case Visual::Disabled:
        SetRing(t, 0, AllSides(soft));
        break;
    default:
        SetRing(t, 0, AllSides(shadow));
        break;
    }
}

// Style 3: the grey face shade as an etched frame with a light inner line at the top and
// left; pressed buttons take the checked face and keep the caption in place.
void FillMetal(PaintJob& job) {
    const int border = int(job.colors.shade);
    const int hi = Shift(job.faceColor, 64), dark = Shift(job.colors.shade, -64);
    ColorTable& t = job.table;
    switch (VisualOf(job.look)) {
    case Visual::Default:
        SetRing(t, 0, AllSides(dark));
        SetRing(t, 1, AllSides(border));
        SetRing(t, 2, {hi, hi, kNoColor, kNoColor});
        break;
    case Visual::Pressed:
    case Visual::Checked:
        SetRing(t, 0, AllSides(border));
        break;
    case Visual::Disabled:
        SetRing(t, 0, AllSides(Shift(job.colors.shade, 48)));
        break;
    default:
        SetRing(t, 0, AllSides(border));
        SetRing(t, 1, {hi, hi, kNoColor, kNoColor});
        break;
    }
}

// Style 4: a two-pixel bevel; its highlight lifts blue in proportion to the face's blue.
void FillBevel(PaintJob& job) {
    const quint32 f = job.faceColor;
    const int hi = Shift(f, 56, ShiftKind::Proportional), shadow = Shift(f, -56),
              dark = Shift(f, -112);
    ColorTable& t = job.table;
    switch (VisualOf(job.look)) {
    case Visual::Default:
        SetRing(t, 0, AllSides(dark));
        SetRing(t, 1, {hi, hi, dark, dark});
        SetRing(t, 2, {hi, hi, shadow, shadow});
        break;
    case Visual::Pressed:
    case Visual::Checked:
        SetRing(t, 0, {dark, dark, hi, hi});
        SetRing(t, 1, {shadow, shadow, hi, hi});
        break;
    case Visual::Disabled:
        SetRing(t, 0, {hi, hi, shadow, shadow});
        break;
    default:
        SetRing(t, 0, {hi, hi, dark, dark});
        SetRing(t, 1, {hi, hi, shadow, shadow});
        break;
    }
}

// Style 6: no edges at rest; a thin raised edge on hover, sunken when pressed or checked, a
// dark frame for the default button.
void FillToolbar(PaintJob& job) {
    const quint32 f = job.faceColor;
    const int hi = Shift(f, 64), shadow = Shift(f, -64), dark = Shift(f, -160);
    ColorTable& t = job.table;
    switch (VisualOf(job.look)) {
    case Visual::Hot:
        SetRing(t, 0, {hi, hi, shadow, shadow});
        break;
    case Visual::Default:
        SetRing(t, 0, AllSides(dark));
        break;
    case Visual::Pressed:
    case Visual::Checked:
        SetRing(t, 0, {shadow, shadow, hi, hi});
        break;
    default:
        break;
    }
}

// Style 7: a grey frame with soft corners around a light face; pressed and checked buttons
// turn grey with the caption in the inverse colour.
void FillGrey(PaintJob& job) {
    const quint32 border = job.colors.shade;
    const int strong = Shift(border, -48);
    const quint32 f = job.faceColor;
    ColorTable& t = job.table;
    switch (VisualOf(job.look)) {
    case Visual::Hot:
        SetRing(t, 0, AllSides(strong));
        SetRing(t, 1, {Shift(f, 40), Shift(f, 40), Shift(f, -24), Shift(f, -24)});
        break;
    case Visual::Default:
        SetRing(t, 0, AllSides(strong));
        SetRing(t, 1, AllSides(int(border)));
        break;
    case Visual::Pressed:
    case Visual::Checked:
        SetRing(t, 0, AllSides(strong));
        SetRing(t, 1, {Shift(f, -24), Shift(f, -24), Shift(f, 24), Shift(f, 24)});
        break;
    case Visual::Disabled:
        SetRing(t, 0, AllSides(Shift(border, 64)));
        break;
    default:
        SetRing(t, 0, AllSides(int(border)));
        SetRing(t, 1, {Shift(f, 40), Shift(f, 40), Shift(f, -24), Shift(f, -24)});
        break;
    }
}

int PaintWithTable(PaintJob& job, void (*fill)(PaintJob&)) {
    if (!BeginPaint(job))
        return 0;
    fill(job);
    PaintEdges(job);
    PaintEllipseRim(job);
    FinishPaint(job);
    return ResultOf(job);
}

int PaintGreyStyle(PaintJob& job) {
    const Visual v = VisualOf(job.look);
    if (v == Visual::Pressed)
        job.faceOverride = job.colors.checked;
    if (v == Visual::Pressed || v == Visual::Checked)
        job.captionColor = ShiftColor(ResolveColor(job.look.foreColor), 0, ShiftKind::Inverting);
    if (!BeginPaint(job))
        return 0;
    FillGrey(job);
    PaintEdges(job);
    SoftenCorners(job, job.table[9]);
    PaintEllipseRim(job);
    FinishPaint(job);
    return ResultOf(job);
}

int PaintMetalStyle(PaintJob& job) {
    if (VisualOf(job.look) == Visual::Pressed && job.look.gradientMode == 0)
        job.faceOverride = job.colors.checked;
    return PaintWithTable(job, FillMetal);
}

} // namespace

Visual VisualOf(const ButtonLook& look) {
    if (!look.enabled)
        return Visual::Disabled;
    if (IsPressedHot(look))
        return Visual::Pressed;
    if (IsChecked(look))
        return Visual::Checked;
    if (look.defaultLook)
        return Visual::Default;
    return look.hot ? Visual::Hot : Visual::Normal;
}

bool BeginPaint(PaintJob& job) {
    const ButtonLook& look = job.look;
    job.faceState = IsPressedHot(look) ? 2 : look.defaultLook ? 1 : 0;
    job.table = EmptyTable();
    if (!PaintRim(job))
        return false;
    PaintFace(job);
    return true;
}

void FinishPaint(PaintJob& job) {
    PaintImage(job);
    PaintCaption(job);
    PaintFocus(job);
    ClearOutside(job);
}

int ResultOf(const PaintJob& job) {
    return job.look.shape >= 4 ? 2 : 1;
}

int PaintStyle(PaintJob& job) {
    switch (job.look.style) {
    case 1:
        return PaintWithTable(job, FillFlat);
    case 2:
        return PaintSoftStyle(job);
    case 3:
        return PaintMetalStyle(job);
    case 4:
        return PaintWithTable(job, FillBevel);
    case 5:
        return PaintRoundStyle(job);
    case 6:
        return PaintWithTable(job, FillToolbar);
    case 7:
        return PaintGreyStyle(job);
    default:
        return PaintWithTable(job, FillClassic);
    }
}

} // namespace controls::engine
