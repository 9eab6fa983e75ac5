#pragma once
// The decoder for a picture file, picked by its name's extension (core/PictureKinds.h), and
// decoding any kind of picture into a bitmap.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/PictureKinds.h"
#include "imaging/Picture.h"

class TBitmap;

// A decoder for files of the name's kind, not yet opened; nullptr for a name of no kind this
// build decodes. A file whose bytes are of another kind than its name says fails to open.
std::unique_ptr<TPicture> MakePicture(std::string_view name);

// The kind of picture the first bytes of a file (32 are enough) are the start of, by each
// format's signature; None when they start none the show takes. For decoders that would
// otherwise take any kind they know whatever the file is named.
TPictureKind PictureKindOfBytes(const uint8_t* data, size_t size);

// Decodes the picture file at path, of the kind its name says, into bitmap, 24 bits, upright:
// at its own size, or with a box at StoredSize(its upright size, box). False on any failure,
// after which the bitmap is empty; nothing is reported and nothing leaks. Once cancel (when
// given) is set, from any thread, the decoding stops soon and fails.
bool LoadPictureIntoBitmap(TBitmap& bitmap, const std::string& path, const std::atomic<bool>* cancel = nullptr,
                           int boxWidth = 0, int boxHeight = 0);
