// "--root DIR": a folder shared at once, without a base folder of the
// administrator's. The share is an ordinary anonymous account confined to DIR
// through the full policy, kept in a private base folder that lives as long
// as this object. The base folder is named after DIR, so "--root DIR --send"
// finds the running share, and a second share of DIR is refused.
#pragma once

#include <string>

namespace vendrix::app {

class TQuickShare {
public:
    // Raises std::runtime_error when DIR is not a folder, is shared by a
    // running instance already, or the private base folder cannot be made.
    TQuickShare(const std::string& root, bool write);
    // The private base folder of a share of DIR.
    static std::string BaseFolderFor(const std::string& root);
    ~TQuickShare();
    TQuickShare(const TQuickShare&) = delete;
    TQuickShare& operator=(const TQuickShare&) = delete;

    const std::string& BaseFolder() const { return FBase; }

    // The rights of the share's one access entry: downloads and subfolders,
    // and with `write` uploads, deletes, renames and folders too.
    static std::string Rights(bool write);

private:
    std::string FBase;
};

} // namespace vendrix::app
