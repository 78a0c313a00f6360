// The registry kept in a text file in the format of Windows registry exports
// ("Windows Registry Editor Version 5.00"), one file per root key, so staff
// can read and edit it and regedit exports can be dropped in.
#pragma once
#include "platform/registry.h"

#include <map>
#include <string>
#include <vector>

namespace nilo::posix {

struct RegistryValue {
    std::u16string name;  // empty for the key's default value ("@")
    DWORD type = REG_NONE;
    std::basic_string<BYTE> data;
};

struct RegistryKey {
    std::u16string path;  // full path from the root, e.g. HKEY_CURRENT_USER\Software\Nilo
    std::vector<RegistryValue> values;
};

class RegistryFile {
public:
    // Reads path. A missing file gives an empty registry and
    // ERROR_FILE_NOT_FOUND (ERROR_PATH_NOT_FOUND when its folder is missing);
    // other failures give their Windows error code. Lines that do not parse
    // are skipped.
    LONG Load(const std::string& path);
    // Writes the whole file atomically: a temporary file in the same folder,
    // flushed to disk, then renamed over path. Creates the folder if needed.
    LONG Save(const std::string& path) const;

    // The contents from a file's bytes: UTF-16LE with a byte order mark as
    // regedit writes, or UTF-8. Replaces what was held.
    void Parse(const std::string& bytes);
    // The file as Save writes it: UTF-8, LF line ends.
    std::string Text() const;

    // Key paths and value names compare without regard to case. A key exists
    // when it is listed or is the parent of a listed key.
    bool HasKey(const std::u16string& keyPath) const;
    const RegistryValue* Find(const std::u16string& keyPath, const std::u16string& name) const;
    // Both refuse (false) a path or name holding a line break, a NUL or half
    // a surrogate pair, and a key path starting with '-', which the file
    // cannot carry.
    bool CreateKey(const std::u16string& keyPath);
    bool Set(const std::u16string& keyPath, const std::u16string& name, DWORD type, std::basic_string<BYTE> data);

    // The keys in file order, each with its values in file order.
    const std::vector<RegistryKey>& Keys() const { return m_keys; }
    // Lines the last Parse read but could not keep: comments, deletions and
    // lines that do not parse. Text() would lose them.
    size_t DroppedLines() const { return m_droppedLines; }
    void Clear();

private:
    std::vector<RegistryKey> m_keys;
    // Case-folded key path -> index in m_keys; per key, folded value name ->
    // index in its values. Files from outside may be large.
    std::map<std::u16string, size_t> m_keyIndex;
    std::vector<std::map<std::u16string, size_t>> m_valueIndex;
    size_t m_droppedLines = 0;
};

// "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE", as the file's sections name them.
std::u16string RootName(HKEY root);

// The file that holds a root key. HKEY_CURRENT_USER lives in
// $XDG_CONFIG_HOME/nilo-vod/registry.reg ($HOME/.config when that is unset),
// HKEY_LOCAL_MACHINE in /etc/nilo-vod/registry.reg. SetRegistryFilePath
// points a root elsewhere; an empty path goes back to the default.
std::string RegistryFilePath(HKEY root);
void SetRegistryFilePath(HKEY root, const std::string& path);

}  // namespace nilo::posix
