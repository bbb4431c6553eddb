// Translucent windows with rounded corners need a compositing manager to show their transparent
// pixels; without one the X server fills them black.
#pragma once

class QWidget;

// Where nothing composites, cuts the window to its painted (not transparent) pixels, so no black
// corners show; elsewhere leaves it whole. Call once the window has its size.
void ShapeWhereNotComposited(QWidget* _pWindow);
