#pragma once

#include <string>

struct stat;

namespace feedrail {

// What Linux can say of the attributes a listing shows: read-only is an item
// its user may not write (or one without any write bit, which even root
// keeps), hidden is a name beginning with ".". Archive and system have no
// meaning here.
struct ItemAttributes {
    bool ReadOnly = false;
    bool Hidden = false;

    bool operator==(const ItemAttributes&) const = default;
};

// `info` is the item's stat, following links.
ItemAttributes ReadItemAttributes(const std::string& path, const struct stat& info);
ItemAttributes ReadItemAttributes(const std::string& path);

// "R" for read-only, "H" for hidden, in this order.
std::string AttributeLetters(const ItemAttributes& attributes);

// The outcome of an attribute change: the item's path afterwards (a change
// of hidden renames it) and the failure text, empty on success.
struct AttributeChange {
    std::string Path;
    std::string Error;
};

// Read-only takes away every write bit, and writable gives the owner's back;
// hidden renames the item to or from a leading ".", refusing a name that
// exists.
AttributeChange ChangeAttributes(const std::string& path, const ItemAttributes& wanted);

} // namespace feedrail
