// Which segments are open and which carrier each block was issued to.
#include "store/allocation.h"

#include <gtest/gtest.h>

namespace {

using store::carrierOf;
using store::inPublicService;

TEST(AllocationTest, CarrierOfPrefix) {
    struct Case {
        int prefix;
        const char *carrier;
    };
    const Case cases[] = {
        {1380013, "中国移动"},
        {1300000, "中国联通"},
        {1329999, "中国联通"},
        {1330000, "中国电信"},
        {1340000, "中国移动"},
        {1348999, "中国移动"},
        // 中国电信's satellite blocks, inside 中国移动's 134 and on their own.
        {1349000, "中国电信(卫星电话)"},
        {1349999, "中国电信(卫星电话)"},
        {1740000, "中国电信(卫星电话)"},
        {1741999, "中国电信(卫星电话)"},
        // Data cards and IoT.
        {1410000, "中国电信(物联网)"},
        {1440000, "中国移动(物联网)"},
        {1450000, "中国联通(上网卡)"},
        {1460000, "中国联通(物联网)"},
        {1470000, "中国移动(上网卡)"},
        {1480000, "中国移动(物联网)"},
        {1490000, "中国电信(上网卡)"},
        {1570000, "中国移动"},
        {1560000, "中国联通"},
        {1530000, "中国电信"},
        {1660000, "中国联通"},
        {1620000, "中国电信(虚拟运营商)"},
        {1650000, "中国移动(虚拟运营商)"},
        {1670000, "中国联通(虚拟运营商)"},
        {1700000, "中国电信(虚拟运营商)"},
        {1701999, "中国电信(虚拟运营商)"},
        {1702000, "中国电信(虚拟运营商)"},
        {1703000, "中国移动(虚拟运营商)"},
        {1704000, "中国联通(虚拟运营商)"},
        {1705000, "中国移动(虚拟运营商)"},
        {1706000, "中国移动(虚拟运营商)"},
        {1707000, "中国联通(虚拟运营商)"},
        {1708000, "中国联通(虚拟运营商)"},
        {1709999, "中国联通(虚拟运营商)"},
        {1710000, "中国联通(虚拟运营商)"},
        {1720000, "中国移动"},
        {1730000, "中国电信"},
        {1760000, "中国联通"},
        {1770000, "中国电信"},
        {1780000, "中国移动"},
        {1840000, "中国移动"},
        {1860000, "中国联通"},
        {1890000, "中国电信"},
        {1920000, "中国广电"},
        // Of 161 only the block 1610 is open.
        {1610000, "中国广电"},
        {1610999, "中国广电"},
        {1611000, ""},
        {1619999, ""},
        {1609999, ""},
        {1950000, "中国移动"},
        {1960000, "中国联通"},
        {1999999, "中国电信"},
        {1900000, "中国电信"},
        {1910000, "中国电信"},
        {1930000, "中国电信"},
        {1970000, "中国移动"},
        {1980000, "中国移动"},
        // Segments never opened for public service and keys outside the mobile range.
        {1400000, ""},
        {1420000, ""},
        {1439999, ""},
        {1540000, ""},
        {1600000, ""},
        {1630000, ""},
        {1640000, ""},
        {1680000, ""},
        {1690000, ""},
        {1790000, ""},
        {1940000, ""},
        {1100000, ""},
        {999999, ""},
        {2000000, ""},
        {0, ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(carrierOf(c.prefix), c.carrier) << c.prefix;
    }
}

TEST(AllocationTest, SegmentsInPublicService) {
    const int closed[] = {140, 142, 143, 154, 160, 163, 164, 168, 169, 179, 194, 129, 200};
    for (int segment : closed) {
        EXPECT_FALSE(inPublicService(segment)) << segment;
    }
    // 161 in part: its block 1610.
    const int open[] = {130, 134, 141, 144, 145, 149, 161, 162,
                        165, 167, 170, 171, 174, 192, 196, 199};
    for (int segment : open) {
        EXPECT_TRUE(inPublicService(segment)) << segment;
    }
}

// Entries of 4 digits or fewer name one city for a whole block of many and
// must never answer; longer entries answer every prefix they begin, the
// longest first.

}  // namespace
