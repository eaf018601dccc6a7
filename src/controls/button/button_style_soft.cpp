// Style 2, the soft style of the main window's buttons: a face shaded towards the bottom,
// two inner rings chosen by state (normal, default in blue, pressed or checked, hot in
// orange), a dark blue border with softened corners, and a frame colour for the outline.
#include "button_styles.h"

namespace controls::engine {

namespace {

enum SoftState { kNormal = 0, kDefault = 1, kPressed = 2, kHot = 3 };

// Entries 1 to 8: the face shifted (normal), a blue tone (default), the face shifted
// (pressed or checked), an orange tone (hot).
struct SoftEntry {
    int normalShift;
    quint32 blue;
    int pressedShift;
    quint32 orange;
};
constexpr SoftEntry kSoftEntries[8] = {
    {-10, 0xF0D1B5, -22, 0x6BCBFF}, {10, 0xF7D7BD, -24, 0x8CDBFF}, {-24, 0xF0D1B5, -24, 0x6BCBFF},
    {-32, 0xE7AE8C, 10, 0x31B2FF},  {-5, 0xE7AE8C, -32, 0x31B2FF}, {16, 0xFFDFBF, -32, 0xA6E9FF},
    {-36, 0xE7AE8C, 5, 0x31B2FF},   {-48, 0xEF826B, 16, 0x0096E7},
};
constexpr int kBorder = 0x733C00;
constexpr int kHotFrame = 0x0096E7;
constexpr int kDefaultFrame = 0xEF826B;

int SoftStateOf(const PaintJob& job) {
    const ButtonLook& look = job.look;
    int state = job.faceState;
    if (look.hot && !look.pressed)
        state = kHot;
    else if (IsChecked(look) || (look.pressedWhileTracking && look.mode != 0))
        state = look.defaultLook ? kDefault : kPressed;
    if (state == kDefault && !look.showFocusRect)
        state = kNormal;
    return state;
}

int SoftEntryColor(const SoftEntry& e, int state, quint32 face) {
    switch (state) {
    case kDefault:
        return int(e.blue);
    case kPressed:
        return int(ShiftColor(face, e.pressedShift));
    case kHot:
        return int(e.orange);
    default:
        return int(ShiftColor(face, e.normalShift));
    }
}

void FillSoftTable(PaintJob& job) {
    const quint32 face = job.colors.face;
    if (!job.look.enabled) {
        SetRing(job.table, 0, AllSides(int(ShiftColor(face, -84))));
        return;
    }
    const int state = SoftStateOf(job);
    for (int i = 0; i < 8; ++i)
        job.table[size_t(i + 1)] = SoftEntryColor(kSoftEntries[i], state, face);
    SetRing(job.table, 0, AllSides(kBorder));
}

} // namespace

int PaintSoftStyle(PaintJob& job) {
    if (!BeginPaint(job))
        return 0;
    FillSoftTable(job);
    PaintEdges(job);
    SoftenCorners(job, job.table[9]);
    PaintEllipseRim(job);
    FinishPaint(job);
    if (job.look.hot)
        job.table[12] = kHotFrame;
    else if (job.look.defaultLook)
        job.table[12] = kDefaultFrame;
    else
        return 1;
    return 2;
}

} // namespace controls::engine
