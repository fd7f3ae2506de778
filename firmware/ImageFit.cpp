#include "firmware/ImageFit.h"

namespace pb {

QString ImageFitCheck::reason(int modelKind) const {
    switch (fit) {
        case ImageFit::NoImage:
            return QStringLiteral("the firmware file holds no image after its %1-byte header")
                .arg(kFirmwareHeaderSize);
        case ImageFit::PastModelLimit:
            return QStringLiteral("the image makes %1 blocks; model kind %2 reads at most %3")
                .arg(blocksInFile)
                .arg(modelKind)
                .arg(modelReads);
        case ImageFit::Fits:
            break;
    }
    return {};
}

ImageFitCheck CheckImageFit(const FirmwareBuffer& buffer, int modelKind, bool allowPartial) {
    ImageFitCheck check;
    const std::optional<BlockLayout> layout = BlockLayoutFor(modelKind);
    if (!layout) return check;  // no loader: the upgrade refuses the model itself
    check.blocksInFile = buffer.blocksInFile;
    check.modelReads = layout->blockLimit;
    if (buffer.blocksInFile == 0)
        check.fit = ImageFit::NoImage;
    else if (buffer.blocksInFile > layout->blockLimit && !allowPartial)
        check.fit = ImageFit::PastModelLimit;
    return check;
}

}  // namespace pb
