#pragma once

#include "platform/PropertyList.hpp"

#include <unordered_map>

namespace quillmere::platform::detail {

// Builds a dictionary from parsed pairs in linear time: a hostile file may repeat one key or
// carry hundreds of thousands of them.
class DictionaryBuilder {
public:
    void add(std::string key, PropertyListValue value) {
        const auto [slot, isNew] = index_.try_emplace(key, dictionary_.keys.size());
        if (!isNew) {
            dictionary_.values[slot->second] = std::move(value);
            return;
        }
        dictionary_.keys.push_back(std::move(key));
        dictionary_.values.push_back(std::move(value));
    }
    PropertyListDictionary take() { return std::move(dictionary_); }

private:
    std::unordered_map<std::string, size_t> index_;
    PropertyListDictionary dictionary_;
};

} // namespace quillmere::platform::detail
