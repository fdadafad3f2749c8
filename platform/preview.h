// The bitmap tool's preview area: an owner-drawn static of the running
// dialog that shows an off-screen surface of its client size. The surface
// starts in the dialog's face colour; the first DrawPreview sets black on
// white for good. Both drawing calls repaint the area before they return.
#pragma once

#include <string>

// Gives the control its surface, filled with the face colour. Called once,
// right after the control has been added.
void CreatePreviewSurface(int controlId);

// Draws the BMP file at 240 x 64 from the surface's top-left corner (the
// loader scales it; a 120 x 32 file is shown at twice its size). A file
// that loads neither as a bitmap nor as an icon, or a path holding a NUL
// byte, leaves the picture as it was, silently. Nothing happens without a
// surface.
void DrawPreview(const std::string& path);

// Fills the whole surface with the current background colour.
void ClearPreview();
