#include "TankRecord.h"

#include <gtest/gtest.h>

using namespace lw;

TEST(TankRecord, FieldOrderAndTypes) {
    const auto& f = tankFields();
    EXPECT_EQ(f[0].name, "ID");
    EXPECT_EQ(f[0].width, 5);
    EXPECT_EQ(f[1].width, 20);
    EXPECT_EQ(f[6].name, "LevelBelow");
    EXPECT_EQ(f[10].name, "Input1");
    EXPECT_EQ(f[22].name, "DateTime");
    EXPECT_EQ(f[22].type, FieldType::DateTime);
    EXPECT_EQ(f[24].name, "DispType");
    EXPECT_EQ(tankFieldByName("Relay3"), TankField::Relay3);
    EXPECT_EQ(tankFieldByName("Colour"), std::nullopt);
}

TEST(TankRecord, GenericAccessRoundTrips) {
    TankRecord r;
    setField(r, TankField::ID, std::string("12"));
    setField(r, TankField::Level, 12.5);
    setField(r, TankField::Alarm2, true);
    setField(r, TankField::BatSender, int32_t{50});
    EXPECT_EQ(r.ID, "12");
    EXPECT_EQ(r.Level, 12.5);
    EXPECT_EQ(r.Alarm2, true);
    EXPECT_EQ(std::get<int32_t>(getField(r, TankField::BatSender)), 50);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(getField(r, TankField::Volume)));
    setField(r, TankField::Level, std::monostate{});
    EXPECT_FALSE(r.Level);
    EXPECT_THROW(setField(r, TankField::Level, std::string("x")), std::bad_variant_access);
}
