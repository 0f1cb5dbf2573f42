#pragma once

// Numbers of the options sheet's pages and controls. A control's object name is its number
// (ControlName in gui/dialogs/DialogLayout.h), so that tests and callers can find it.
namespace OptionSheetControl {

// The size of every page, in dialog units.
inline constexpr int kPageWidth = 252;
inline constexpr int kPageMargin = 7;

// Pages.
inline constexpr int OptionsPage = 140;
inline constexpr int LogViewPage = 141;
inline constexpr int HostIconPage = 142;
inline constexpr int HostOrderPage = 143;
inline constexpr int SystemPage = 144;

// A picture at the top left of a page, in the room its first group's title leaves for it.
inline constexpr int PagePicture = 1400;

// Options page.
inline constexpr int OptionsGroup = 1401;
inline constexpr int TreeExpand = 1402;
inline constexpr int SaveWinSize = 1403;
inline constexpr int DelTmp = 1404;
inline constexpr int ConfirmGroup = 1405;
inline constexpr int ChkDownOw = 1406;
inline constexpr int ChkUpOw = 1407;
inline constexpr int ChkDelete = 1408;
inline constexpr int ModeGroup = 1409;
inline constexpr int AsciiMode = 1410;
inline constexpr int BinaryMode = 1411;
inline constexpr int LastMode = 1412;
inline constexpr int OpenDownFolder = 1413;

// Log view page.
inline constexpr int LogGroup = 1420;
inline constexpr int FaceLabel = 1421;
inline constexpr int Face = 1422;
inline constexpr int SizeLabel = 1423;
inline constexpr int Size = 1424;
inline constexpr int TextColour = 1425;
inline constexpr int DefaultFont = 1426;
inline constexpr int FaceUsed = 1427;
inline constexpr int PreviewLabel = 1428;
inline constexpr int Preview = 1429;
inline constexpr int BackGroup = 1430;
inline constexpr int BackColour = 1431;
inline constexpr int DefaultColour = 1432;
inline constexpr int WindowColour = 1433;

// Host icon page.
inline constexpr int IconText = 1440;
inline constexpr int IconHostLabel = 1441;
inline constexpr int IconHost = 1442;
inline constexpr int IconList = 1443;
inline constexpr int IconChangeGroup = 1444;
inline constexpr int IconChange = 1445;
inline constexpr int IconDelete = 1446;
inline constexpr int IconPreview = 1447;
inline constexpr int IconFile = 1448;

// Host order page.
inline constexpr int OrderGroup = 1460;
inline constexpr int OrderList = 1461;
inline constexpr int MoveGroup = 1462;
inline constexpr int MoveUp = 1463;
inline constexpr int OrderReset = 1464;
inline constexpr int MoveDown = 1465;

// System page.
inline constexpr int SystemText = 1480;
inline constexpr int TimeoutGroup = 1481;
inline constexpr int TimeoutText = 1482;
inline constexpr int Timeout = 1483;
inline constexpr int Seconds = 1484;
inline constexpr int UnTimeout = 1485;
inline constexpr int BufferGroup = 1486;
inline constexpr int SendBufLabel = 1487;
inline constexpr int SendBuf = 1488;
inline constexpr int SendBufSize = 1489;
inline constexpr int TempGroup = 1490;
inline constexpr int TempLabel = 1491;
inline constexpr int Temp = 1492;
inline constexpr int TempBrowse = 1493;
inline constexpr int SysTemp = 1494;
inline constexpr int SessionsGroup = 1495;
inline constexpr int SessionsLabel = 1496;
inline constexpr int Sessions = 1497;
inline constexpr int SessionsText = 1498;

} // namespace OptionSheetControl
