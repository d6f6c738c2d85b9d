#include "config_item_ptr.h"

namespace {
std::unique_ptr<ConfigItem> copyOf(const ConfigItem* item)
{
    return item ? std::make_unique<ConfigItem>(*item) : nullptr;
}
} // namespace

ConfigItemPtr::ConfigItemPtr(const ConfigItem& item) : item_(std::make_unique<ConfigItem>(item)) {}

ConfigItemPtr::ConfigItemPtr(std::unique_ptr<ConfigItem> item) : item_(std::move(item)) {}

ConfigItemPtr::ConfigItemPtr(const ConfigItemPtr& other) : item_(copyOf(other.item_.get())) {}

ConfigItemPtr& ConfigItemPtr::operator=(const ConfigItemPtr& other)
{
    if (this != &other)
        item_ = copyOf(other.item_.get());
    return *this;
}
