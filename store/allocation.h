// Which number segments are in public service and which carrier each block of
// them was issued to: what the table's 卡信息 says, and what the tools check a
// row's range against.
#pragma once

#include <string_view>

namespace store {

// Prefix keys per three-digit segment (130, 131 …) and per four-digit block
// (1300, 1301 …).
inline constexpr int kSegmentSize = 10000;
inline constexpr int kBlockSize = 1000;

// The carrier labels of the table's 卡信息 column.
namespace carrier {
inline constexpr std::string_view kMobile = "中国移动";
inline constexpr std::string_view kUnicom = "中国联通";
inline constexpr std::string_view kTelecom = "中国电信";
inline constexpr std::string_view kBroadnet = "中国广电";
inline constexpr std::string_view kMobileResale = "中国移动(虚拟运营商)";
inline constexpr std::string_view kUnicomResale = "中国联通(虚拟运营商)";
inline constexpr std::string_view kTelecomResale = "中国电信(虚拟运营商)";
inline constexpr std::string_view kMobileDataCard = "中国移动(上网卡)";
inline constexpr std::string_view kUnicomDataCard = "中国联通(上网卡)";
inline constexpr std::string_view kTelecomDataCard = "中国电信(上网卡)";
inline constexpr std::string_view kMobileIot = "中国移动(物联网)";
inline constexpr std::string_view kUnicomIot = "中国联通(物联网)";
inline constexpr std::string_view kTelecomIot = "中国电信(物联网)";
inline constexpr std::string_view kTelecomSatellite = "中国电信(卫星电话)";
}  // namespace carrier

// Whether the 3-digit segment (130..199) is in public service, in whole or
// in part (161: only its block 1610): false for the segments never opened
// (140, 142, 143, 154, 160, 163, 164, 168, 169, 179, 194) and for numbers
// outside 13x..19x.
bool inPublicService(int segment);

// The carrier the block of the 7-digit prefix (1380013) was issued to:
// "中国移动", "中国联通", "中国电信", "中国广电"; for a resale block the host
// network followed by "(虚拟运营商)"; for a data-card or IoT block the network
// followed by "(上网卡)" or "(物联网)"; "中国电信(卫星电话)" for the satellite
// blocks (1349, 174). Returns "" for a prefix outside every block in public
// service (1611xxx as much as 1600000).
std::string_view carrierOf(int prefix);

}  // namespace store
