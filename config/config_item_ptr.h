#pragma once

#include "config_item.h"

#include <memory>

// Owning handle of one ConfigItem, possibly empty. Items are never shared:
// copying a handle copies the whole item.
class ConfigItemPtr {
public:
    ConfigItemPtr() = default;
    explicit ConfigItemPtr(const ConfigItem& item);
    explicit ConfigItemPtr(std::unique_ptr<ConfigItem> item);

    ConfigItemPtr(const ConfigItemPtr& other);
    ConfigItemPtr& operator=(const ConfigItemPtr& other);
    ConfigItemPtr(ConfigItemPtr&& other) noexcept = default;
    ConfigItemPtr& operator=(ConfigItemPtr&& other) noexcept = default;
    ~ConfigItemPtr() = default;

    explicit operator bool() const { return item_ != nullptr; }
    ConfigItem* get() const { return item_.get(); }
    ConfigItem* operator->() const { return item_.get(); }
    ConfigItem& operator*() const { return *item_; }

    void reset() { item_.reset(); }

private:
    std::unique_ptr<ConfigItem> item_;
};
