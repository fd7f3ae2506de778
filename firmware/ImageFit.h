#pragma once
// Whether a loaded firmware image is one to program when no one is there to read a
// warning (the command line, a recipe step): it holds at least one block, and no more
// blocks than the model reads from a file. The window programs either all the same: an
// image of no block still gets its finish command, a long one is cut at the model's cap.

#include <QString>

#include "firmware/FirmwareImage.h"

namespace pb {

enum class ImageFit {
    Fits,
    NoImage,         // the header and nothing after it
    PastModelLimit,  // more blocks than the model reads
};

struct ImageFitCheck {
    ImageFit fit = ImageFit::Fits;
    int blocksInFile = 0;
    int modelReads = 0;  // the most blocks the model reads from a file

    bool fits() const { return fit == ImageFit::Fits; }
    // Why it does not fit, in English: "the firmware file holds no image after its
    // 16-byte header", "the image makes 391 blocks; model kind 6 reads at most 126".
    QString reason(int modelKind) const;
};

// The image as loaded into the buffer for the model kind; an image past the model's
// limit fits when the caller allows part of it to be programmed.
ImageFitCheck CheckImageFit(const FirmwareBuffer& buffer, int modelKind, bool allowPartial);

}  // namespace pb
