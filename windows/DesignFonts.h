#pragma once
// The fonts the windows are designed in (Tahoma, Courier New) are often
// missing on Linux; the nearest font the desktop has takes their place.

namespace vorda {

// Courier and Courier New become Liberation Mono where it is installed (it
// has their metrics), else the desktop's fixed font; Tahoma becomes the
// desktop's general font. A family that is installed is left alone.
void SubstituteDesignFonts();

} // namespace vorda
