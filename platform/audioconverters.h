// The converters behind plat::AudioConverter::Open, one per source format family.
#pragma once
#include <memory>

#include "platform/audioconvert.h"

namespace plat {

// Each returns null when the format's fields are out of the converter's range.
std::unique_ptr<AudioConverter> OpenPcmCopy(const AudioFormat& source);
std::unique_ptr<AudioConverter> OpenMsAdpcmDecoder(const AudioFormat& source);
std::unique_ptr<AudioConverter> OpenImaAdpcmDecoder(const AudioFormat& source);
std::unique_ptr<AudioConverter> OpenMpegDecoder(const AudioFormat& source);

}  // namespace plat
