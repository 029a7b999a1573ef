#include "support/os_description.h"

#include <gtest/gtest.h>

namespace r7k {
namespace {

WindowsVersionInfo Windows10Pro(unsigned build) {
  WindowsVersionInfo v;
  v.major = 10;
  v.build = build;
  v.ubr = 3803;
  v.display_version = "22H2";
  v.edition_id = "Professional";
  return v;
}

TEST(OsDescription, WindowsTenAndElevenWorkstations) {
  EXPECT_EQ(ComposeWindowsDescription(Windows10Pro(19045)),
            "Microsoft Windows 10  Professional  22H2 (Build 19045.3803)");
  EXPECT_EQ(ComposeWindowsDescription(Windows10Pro(22631)),
            "Microsoft Windows 11  Professional  22H2 (Build 22631.3803)");
  WindowsVersionInfo no_ubr = Windows10Pro(19045);
  no_ubr.ubr = 0;
  EXPECT_EQ(ComposeWindowsDescription(no_ubr), "Microsoft Windows 10  Professional  (Build 19045)");
}

TEST(OsDescription, ServerReadsNoUbr) {
  WindowsVersionInfo v = Windows10Pro(20348);
  v.product_type = 3;
  v.current_build = "20348";
  v.edition_id = "ServerStandard";
  EXPECT_EQ(ComposeWindowsDescription(v),
            "Microsoft Windows Server 2022 ServerStandard  (Build 20348)");
  v.current_build = "17763";
  EXPECT_EQ(ComposeWindowsDescription(v).substr(0, 29), "Microsoft Windows Server 2019");
  v.current_build = "26200";
  EXPECT_EQ(ComposeWindowsDescription(v).substr(0, 29), "Microsoft Windows Server 20XX");
}

TEST(OsDescription, VistaUltimateOn64Bit) {
  WindowsVersionInfo v;
  v.major = 6;
  v.minor = 0;
  v.build = 6002;
  v.service_pack = "Service Pack 2";
  v.product_info = 1;
  v.architecture = 9;
  v.edition_id = "Ultimate";  // not read on 6.0
  EXPECT_EQ(ComposeWindowsDescription(v),
            "Microsoft Windows Vista Ultimate Edition, 64-bit Service Pack 2 (Build 6002)");
  v.product_info = 16;  // unnamed number adds nothing
  v.architecture = 0;
  EXPECT_EQ(ComposeWindowsDescription(v),
            "Microsoft Windows Vista , 32-bit Service Pack 2 (Build 6002)");
}

TEST(OsDescription, OlderFamilies) {
  WindowsVersionInfo v;
  v.platform = 1;
  v.major = 4;
  v.minor = 10;
  v.service_pack = " A";
  EXPECT_EQ(ComposeWindowsDescription(v), "Microsoft Windows 98 SE ");
  v.platform = 0;
  EXPECT_EQ(ComposeWindowsDescription(v), "Microsoft Win32s");

  WindowsVersionInfo nt4;
  nt4.major = 4;
  nt4.build = 0x10000 + 1381;
  nt4.service_pack = "Service Pack 6";
  nt4.hotfix_q246009 = true;
  EXPECT_EQ(ComposeWindowsDescription(nt4),
            "Microsoft Windows NT Workstation 4.0 Service Pack 6a (Build 1381)");

  WindowsVersionInfo xp;
  xp.major = 5;
  xp.minor = 1;
  xp.build = 2600;
  xp.service_pack = "Service Pack 3";
  xp.suite_mask = kSuitePersonal;
  EXPECT_EQ(ComposeWindowsDescription(xp),
            "Microsoft Windows XP Home Edition  Service Pack 3 (Build 2600)");

  WindowsVersionInfo w2k3;
  w2k3.major = 5;
  w2k3.minor = 2;
  w2k3.build = 3790;
  w2k3.product_type = 3;
  w2k3.suite_mask = kSuiteDatacenter | kSuiteEnterprise;
  EXPECT_EQ(ComposeWindowsDescription(w2k3),
            "Microsoft Windows Server 2003, Datacenter Edition   (Build 3790)");
}

TEST(OsDescription, BasicQueryNeedsTheRegistryProductType) {
  WindowsVersionInfo v;
  v.major = 5;
  v.minor = 0;
  v.build = 2195;
  v.extended = false;
  EXPECT_EQ(ComposeWindowsDescription(v), "");
  v.registry_product_type = "lanmannt";
  EXPECT_EQ(ComposeWindowsDescription(v), "Microsoft Windows 2000 Server 5.0   (Build 2195)");
  v.registry_product_type = std::string(81, 'x');
  EXPECT_EQ(ComposeWindowsDescription(v), "");
}

TEST(OsDescription, LinuxLine) {
  EXPECT_EQ(ComposeLinuxDescription(
                "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
                "6.1.0-18-amd64", "x86_64"),
            "Debian GNU/Linux 12 (bookworm), kernel 6.1.0-18-amd64, x86_64");
  EXPECT_EQ(ComposeLinuxDescription("NAME=Arch\n", "6.8", "aarch64"), "Arch, kernel 6.8, aarch64");
  EXPECT_EQ(ComposeLinuxDescription("", "", ""), "Linux");
}

}  // namespace
}  // namespace r7k
