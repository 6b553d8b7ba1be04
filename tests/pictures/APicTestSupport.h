#pragma once
// The picture-list decoding with output arguments, as the older tests call it: cleared
// first, filled only when true is returned.
#include "pictures/APicDecoder.h"

namespace brindle::APicDecoder {

inline bool DecodeImage(const MultiFrameData& list, std::int32_t index, QString& mimeType, int& pictureType,
                        Picture& pic, int revision, QByteArray& origPicData)
{
    mimeType.clear();
    pictureType = 0;
    pic = Picture();
    origPicData.clear();
    auto decoded = DecodeImage(list, index, revision);
    if (!decoded)
        return false;
    mimeType = std::move(decoded->MIMEType);
    pictureType = decoded->PictureType;
    pic = std::move(decoded->Pic);
    origPicData = std::move(decoded->OrigPicData);
    return true;
}

} // namespace brindle::APicDecoder
