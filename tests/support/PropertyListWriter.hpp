#pragma once

#include "platform/PropertyList.hpp"

#include <string>

namespace quillmere::fixture {

// Writes the property lists that fixtures put into bundles. The reader is checked against
// golden files from an independent writer; this one only has to produce what it reads.
std::string xmlPropertyList(const platform::PropertyListValue& value);
std::string binaryPropertyList(const platform::PropertyListValue& value);

} // namespace quillmere::fixture
