// The registry file on a Linux seat may be hand-edited, cut short or
// replaced by a regedit export: any bytes must load, and what loads must
// save and load again to the same contents.
#include "platform/posix/registry_file.h"
#include "tests/fuzz/fuzz_support.h"

using namespace nilo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    posix::RegistryFile file;
    file.Parse(fuzz::Bytes(data, size));
    for (const posix::RegistryKey& key : file.Keys()) {
        FUZZ_CHECK(file.HasKey(key.path));
        for (const posix::RegistryValue& value : key.values) FUZZ_CHECK(file.Find(key.path, value.name) != nullptr);
    }

    const std::string saved = file.Text();
    posix::RegistryFile again;
    again.Parse(saved);
    FUZZ_CHECK(again.Text() == saved);
    FUZZ_CHECK(again.DroppedLines() == 0);  // everything written reads back
    FUZZ_CHECK(again.Keys().size() == file.Keys().size());
    return 0;
}
