#pragma once

class QWidget;

namespace platform {

// Keeps the boxes of the check boxes on a frame easy to see under a dark theme, where the style
// fills an unticked box with the theme's base colour, little darker than the frame around it
// (under 2:1). There each box is filled light enough to stand at least 3:1 against the frame and
// ticked in black or white, whichever shows better; a light theme keeps the style's own boxes.
// Followed again whenever the frame's colours change.
void keepCheckBoxesVisible(QWidget *frame);

} // namespace platform
