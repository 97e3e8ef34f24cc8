// view_reference.h - the view window's display value written out step by
// step from its definition, for the view tests to compare against.
#ifndef VIEW_REFERENCE_H
#define VIEW_REFERENCE_H

// Offset, bound to 0..255, contrast stretch in double precision with
// single-precision bounds (hi raised by 0.0001 when the window is 0), bound,
// truncate.
inline int refDisplay(float w, int d, int level, int window) {
    float lo = static_cast<float>(level);
    float hi = static_cast<float>(level + window);
    if (hi - lo == 0.0f) hi = static_cast<float>(hi + 0.0001);
    double v = static_cast<double>(w) + d;
    if (0.0 > v) v = 0.0;
    else if (v > 255.0) v = 255.0;
    v = (v - lo) * 255.0 / static_cast<double>(hi - lo);
    if (0.0 > v) v = 0.0;
    else if (v > 255.0) v = 255.0;
    return static_cast<int>(v);
}

#endif  // VIEW_REFERENCE_H
