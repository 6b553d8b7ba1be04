// The whole read path: the input becomes a file and a tag object reads it.
#include "FuzzCommon.h"

int BrindleFuzzRead(const std::uint8_t* data, std::size_t size)
{
    using namespace brindle::fuzz;
    WriteScratch(std::string_view(reinterpret_cast<const char*>(data), size));
    brindle::clsID3 tag;
    tag.SetFileName(ScratchPath());
    if (!tag.ReadStatus())
        Fail("the scratch file could not be read");
    sink = TouchAll(tag);
    // A second read through the same object must start from a clean slate.
    std::uint64_t first = TouchAll(tag);
    tag.RefreshID3Tags();
    if (TouchAll(tag) != first)
        Fail("reading the same file twice gave different values");
    return 0;
}

#ifndef BRINDLE_FUZZ_REPLAY
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return BrindleFuzzRead(data, size);
}
#endif
