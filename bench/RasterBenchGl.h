#pragma once
// The reference for raster_bench: the same scene drawn by Mesa's software OpenGL (llvmpipe)
// through its fixed-function pipeline, offscreen, on the calling thread only.
#include <string>

// The median processor milliseconds of a frame, or 0 with the reason in why when Mesa's
// llvmpipe is not at hand.
#if defined(VELLUMINE_BENCH_LLVMPIPE)
double LlvmpipeFrameMs(std::string& why);
#else
inline double LlvmpipeFrameMs(std::string& why)
{
    why = "built without OpenGL and EGL";
    return 0;
}
#endif
