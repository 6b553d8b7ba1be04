#pragma once
// Shared by the fuzz targets and the replay driver: one scratch file per process
// and a walk over everything a read fills in, so that lazily computed values and
// the value lists are exercised too.

#include "tag/clsID3.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace brindle::fuzz {

// The path every input is written to. Made once per process, in /dev/shm when it
// exists (no disk I/O per run); temporary copies of the writer go there too.
const std::string& ScratchPath();

// Replaces the scratch file's content with bytes.
void WriteScratch(std::string_view bytes);
std::string ReadScratch();
// Copies the scratch file to a named file in the scratch folder; returns its path.
std::string KeepScratch(const char* label);

// Reads every property, list entry and audio getter; returns a value that depends
// on all of them so the compiler cannot drop the calls.
std::uint64_t TouchAll(const clsID3& tag);
// Where TouchAll's results go.
extern volatile std::uint64_t sink;

// Ends the process with a message; libFuzzer records the input as a crash.
[[noreturn]] void Fail(const char* what);

} // namespace brindle::fuzz

// The two targets under their own names, so that one replay program can hold both.
int BrindleFuzzRead(const std::uint8_t* data, std::size_t size);
int BrindleFuzzWrite(const std::uint8_t* data, std::size_t size);
