#pragma once

// Numbers of the host settings sheet's pages and controls. A control's object name is its number
// (ControlName in gui/dialogs/DialogLayout.h), so that tests and callers can find it.
namespace HostSheetControl {

// Pages.
inline constexpr int ConnectPage = 130;
inline constexpr int ProxyPage = 131;
inline constexpr int FileoprPage = 132;

// On every page.
inline constexpr int HostChoiceLabel = 1300;
inline constexpr int HostChoice = 1301;

// Connection page.
inline constexpr int HostInfoGroup = 1310;
inline constexpr int NameLabel = 1311;
inline constexpr int Name = 1312;
inline constexpr int AddressLabel = 1313;
inline constexpr int Address = 1314;
inline constexpr int Hide = 1315;
inline constexpr int PortLabel = 1316;
inline constexpr int Port = 1317;
inline constexpr int LoginGroup = 1318;
inline constexpr int UserLabel = 1319;
inline constexpr int User = 1320;
inline constexpr int PasswordLabel = 1321;
inline constexpr int Password = 1322;
inline constexpr int Anonymous = 1323;
inline constexpr int NewHost = 1324;
inline constexpr int DeleteHost = 1325;
inline constexpr int CharsetLabel = 1370;
inline constexpr int Charset = 1371;
inline constexpr int SecurityLabel = 1373;
inline constexpr int Security = 1374;
inline constexpr int PasswordKeeping = 1375;
inline constexpr int SessionsLabel = 1376;
inline constexpr int Sessions = 1377;
inline constexpr int ServerZoneLabel = 1378;
inline constexpr int ServerZone = 1379;

// Firewall page.
inline constexpr int UseFirewall = 1330;
inline constexpr int Passive = 1331;
inline constexpr int SchemeLabel = 1332;
inline constexpr int Scheme = 1333;
inline constexpr int FireAddressLabel = 1334;
inline constexpr int FireAddress = 1335;
inline constexpr int FireUserLabel = 1336;
inline constexpr int FireUser = 1337;
inline constexpr int FirePasswordLabel = 1338;
inline constexpr int FirePassword = 1339;
inline constexpr int FirePortLabel = 1340;
inline constexpr int FirePort = 1341;
inline constexpr int AnonymousGroup = 1342;
inline constexpr int AnonymousText = 1343;
inline constexpr int MailLabel = 1344;
inline constexpr int Mail = 1345;

// Folders page.
inline constexpr int FoldersText = 1350;
inline constexpr int FileOprGroup = 1351;
inline constexpr int UploadLabel = 1352;
inline constexpr int Upload = 1353;
inline constexpr int UploadBrowse = 1354;
inline constexpr int DownloadLabel = 1355;
inline constexpr int Download = 1356;
inline constexpr int DownloadBrowse = 1357;
inline constexpr int IndexGroup = 1358;
inline constexpr int IndexText = 1359;
inline constexpr int IndexLabel = 1360;
inline constexpr int IndexFile = 1361;
inline constexpr int RemoteLabel = 1362;
inline constexpr int Remote = 1363;
inline constexpr int MirrorExcludesLabel = 1364;
inline constexpr int MirrorExcludes = 1365;
inline constexpr int MirrorExcludesHint = 1366;

} // namespace HostSheetControl
