// Port classification by name.
#include <gtest/gtest.h>

#include "monitor/port_name.h"
#include "core/port_session.h"

namespace {

struct NameCase {
    const char* name;
    i16 type;
    u16 lpt;
};

class PortNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(PortNameTest, ClassifiesByNameAlone) {
    const NameCase& c = GetParam();
    PortClass kind = ClassifyPortName(c.name, false);
    EXPECT_EQ(kind.portType, c.type) << c.name;
    EXPECT_EQ(kind.lptNumber, c.lpt) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, PortNameTest,
    ::testing::Values(
        NameCase{"QXUSB001", PORTTYPE_USB, 0}, NameCase{"QXUSB", PORTTYPE_USB, 0},
        NameCase{"QXUSBPRN", PORTTYPE_USB, 0}, NameCase{"qxUSB001", PORTTYPE_OTHER, 0},
        NameCase{"QXusb001", PORTTYPE_OTHER, 0}, NameCase{"QXUS", PORTTYPE_OTHER, 0},
        NameCase{"QX", PORTTYPE_OTHER, 0}, NameCase{"QXCOM1", PORTTYPE_SERIAL, 0},
        NameCase{"QXcom1:", PORTTYPE_SERIAL, 0}, NameCase{"QXCOM9", PORTTYPE_SERIAL, 0},
        NameCase{"QXCOM10", PORTTYPE_OTHER, 0}, NameCase{"QXCOM0", PORTTYPE_OTHER, 0},
        NameCase{"COM1", PORTTYPE_OTHER, 0}, NameCase{"LPT2:", PORTTYPE_PARALLEL, 2},
        NameCase{"Lpt3", PORTTYPE_PARALLEL, 3}, NameCase{"lpt9:", PORTTYPE_PARALLEL, 9},
        NameCase{"LPT0", PORTTYPE_OTHER, 0}, NameCase{"LPT10", PORTTYPE_OTHER, 0},
        NameCase{"LPT1X", PORTTYPE_OTHER, 0}, NameCase{"LPT1::", PORTTYPE_OTHER, 0},
        NameCase{"", PORTTYPE_OTHER, 0}, NameCase{"FILE:", PORTTYPE_OTHER, 0}));

TEST(PortName, NetworkTestComesFirst) {
    EXPECT_EQ(ClassifyPortName("QXUSB001", true).portType, PORTTYPE_NETWORK);
    EXPECT_EQ(ClassifyPortName("LPT1", true).portType, PORTTYPE_NETWORK);
    EXPECT_EQ(ClassifyPortName("LPT1", true).lptNumber, 0);
}

TEST(PortName, DeviceNameLowersOnlyTheThreeLetters) {
    EXPECT_TRUE(IsDeviceName("COM1", "com"));
    EXPECT_TRUE(IsDeviceName("cOm1:", "com"));
    EXPECT_FALSE(IsDeviceName("COM1;", "com"));
    EXPECT_FALSE(IsDeviceName("CO@1", "com"));  // '@' | 0x20 is '`', not 'm'
    EXPECT_FALSE(IsDeviceName("COMa", "com"));
}

}  // namespace
