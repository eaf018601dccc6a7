// The style routines of the button drawing engine and the steps they share.
#pragma once

#include "button_engine.h"

namespace controls::engine {

// What a button looks like at the moment, for the styles with a table of their own.
enum class Visual { Normal, Hot, Default, Pressed, Checked, Disabled };
Visual VisualOf(const ButtonLook& look);

// Sets the face state, paints the rim and the face; false when nothing is to be painted.
bool BeginPaint(PaintJob& job);
// Image, caption, focus marks and the area outside the outline.
void FinishPaint(PaintJob& job);
// The result of a style routine other than style 2: shaped outlines are framed.
int ResultOf(const PaintJob& job);

int PaintSoftStyle(PaintJob& job);  // style 2
int PaintRoundStyle(PaintJob& job); // style 5

} // namespace controls::engine
