#include "config_item.h"
#include "config_item_ptr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(ConfigItem, KeepsAtMostTwentyValuesAndCopiesTheTexts)
{
    std::vector<std::string> texts;
    std::vector<const char*> values;
    for (int i = 0; i < 25; ++i)
        texts.push_back("v" + std::to_string(i));
    for (const auto& text : texts)
        values.push_back(text.c_str());

    ConfigItem item("NAME", values.size(), values.data());
    texts[0] = "changed";

    EXPECT_EQ(item.name(), "NAME");
    EXPECT_EQ(item.count(), 20);
    EXPECT_EQ(item.value(0), "v0");
    EXPECT_EQ(item.value(19), "v19");
    EXPECT_EQ(ConfigItem("N", std::vector<std::string>(21, "x")).count(), 20);
}

TEST(ConfigItem, SetValueReplacesButNeverAdds)
{
    ConfigItem item("A", {"1", "2"});
    item.setValue(1, "two");
    item.setValue(2, "three");
    item.setValue(0, nullptr);

    EXPECT_EQ(item.count(), 2);
    EXPECT_EQ(item.value(0), "1");
    EXPECT_EQ(item.value(1), "two");
    EXPECT_EQ(item.value(2), "");
}

TEST(ConfigItemPtr, CopyingAHandleCopiesTheItem)
{
    ConfigItemPtr first(ConfigItem("A", {"1"}));
    ConfigItemPtr second(first);
    second->setValue(0, "2");

    EXPECT_EQ(first->value(0), "1");
    EXPECT_EQ(second->value(0), "2");
    EXPECT_NE(first.get(), second.get());
}

TEST(ConfigItemPtr, AssignmentReplacesTheHeldItemWithACopy)
{
    ConfigItemPtr target(ConfigItem("OLD", {"x"}));
    const ConfigItemPtr source(ConfigItem("NEW", {"y"}));
    target = source;
    source->setValue(0, "z");

    EXPECT_EQ(target->name(), "NEW");
    EXPECT_EQ(target->value(0), "y");

    target = ConfigItemPtr();
    EXPECT_FALSE(target);
    const ConfigItemPtr copyOfEmpty(target);
    EXPECT_FALSE(copyOfEmpty);
}
