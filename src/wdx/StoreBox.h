#pragma once
// The box an image surface of a picture file's size may be stored within: the picture reduced,
// proportions kept, to the smallest size that still covers it, never enlarged. Sides of 0:
// the picture's own size. Free of DirectX names, for the show's own headers.

struct TStoreBox {
    int Width = 0;
    int Height = 0;
};
