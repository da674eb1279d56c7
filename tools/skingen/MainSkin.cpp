#include "Faces.h"
#include "KeyboardLayout.h"
#include "Skins.h"

#include "core/base/Keyboard.h"
#include "core/keys/KeyTable.h"

#include <QLinearGradient>
#include <QPainterPath>

#include <cmath>

namespace brasslane::skingen {
namespace {

constexpr int kWidth = 1200;
constexpr int kHeight = 670;
constexpr int kMargin = 30;
constexpr double kUnit = 45.0;

// The keyboard case and the key grid inside it.
constexpr int kCaseTop = 112;
constexpr int kCasePad = 16;
constexpr int kMacroColumnWidth = 54;
constexpr int kMacroColumnGap = 18;
constexpr int kKeysLeft = kMargin + kCasePad + kMacroColumnWidth + kMacroColumnGap;
constexpr int kKeysTop = kCaseTop + kCasePad;
constexpr int kCaseBottom = kKeysTop + static_cast<int>(kKeyboardUnitsHigh * kUnit + 0.5) + kCasePad;

// The lighting panel below the keyboard: two rows of labels over controls.
constexpr int kPanelTop = kCaseBottom + 12;
constexpr int kPanelHeight = 160;
constexpr int kPanelInnerTop = kPanelTop + 14;
constexpr int kRow1 = kPanelInnerTop;      // labels
constexpr int kRow2 = kPanelInnerTop + 22; // controls
constexpr int kRow3 = kPanelInnerTop + 68; // labels
constexpr int kRow4 = kPanelInnerTop + 90; // controls
constexpr int kCol1 = kMargin + 16;
constexpr int kCol2 = kCol1 + 224;
constexpr int kCol3 = kCol2 + 224;
constexpr int kCol4 = kCol3 + 260;

constexpr int kBottomBarTop = kPanelTop + kPanelHeight + 12;

double RowTop(int row) {
    return kKeysTop + (row == 0 ? 0.0 : (row + 0.5) * kUnit);
}

QRect KeyRect(const KeyCap& key) {
    const double left = kKeysLeft + key.x * kUnit;
    const double top = RowTop(key.row);
    const QRectF face(left + 1, top + 1, key.width * kUnit - 2, key.height * kUnit - 2);
    // Layout rectangles are whole pixels; the face is rounded outwards by at most half a pixel.
    const QRect cell(static_cast<int>(std::lround(face.left())), static_cast<int>(std::lround(face.top())),
                     static_cast<int>(std::lround(face.width())), static_cast<int>(std::lround(face.height())));
    return cell.translated(1, 1);
}

void DrawMainBackground(QPainter& painter) {
    DrawWindowBackground(painter, {kWidth, kHeight}, 14);

    DrawLogo(painter, QRectF(kMargin, 14, 28, 28));
    QFont brand = UiFont(17, true);
    brand.setLetterSpacing(QFont::AbsoluteSpacing, 2.2);
    painter.save();
    painter.setFont(brand);
    painter.setPen(colour::kText);
    painter.drawText(QRectF(kMargin + 38, 14, 160, 28), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("BRASSLANE"));
    painter.restore();

    painter.setPen(QPen(colour::kLine, 1));
    painter.drawLine(QPointF(kMargin, 56.5), QPointF(kWidth - kMargin, 56.5));
    painter.drawLine(QPointF(1027.5, 19), QPointF(1027.5, 37));

    // The keyboard case: a deep tray with a faint rim light.
    const QRectF caseRect(kMargin, kCaseTop, kWidth - 2 * kMargin, kCaseBottom - kCaseTop);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    DrawShadow(painter, caseRect, 16, 5);
    QLinearGradient caseFill(caseRect.topLeft(), caseRect.bottomLeft());
    caseFill.setColorAt(0, QColor(0x13, 0x16, 0x1B));
    caseFill.setColorAt(1, QColor(0x0E, 0x10, 0x14));
    painter.setPen(QPen(QColor(0x2C, 0x33, 0x3C), 1));
    painter.setBrush(caseFill);
    painter.drawPath(RoundedRect(caseRect.adjusted(0.5, 0.5, -0.5, -0.5), 16));
    painter.setPen(QPen(QColor(255, 255, 255, 14), 1));
    painter.drawLine(QPointF(caseRect.left() + 16, caseRect.top() + 1.5),
                     QPointF(caseRect.right() - 16, caseRect.top() + 1.5));
    // The macro keys sit in their own groove.
    const QRectF groove(kMargin + kCasePad - 5, kKeysTop - 3, kMacroColumnWidth + 10, 9 * 32 + 4);
    painter.setPen(QPen(QColor(0x22, 0x28, 0x2F), 1));
    painter.setBrush(QColor(0x0B, 0x0D, 0x10));
    painter.drawPath(RoundedRect(groove, 9));
    painter.restore();

    DrawCard(painter, QRectF(kMargin, kPanelTop, kWidth - 2 * kMargin, kPanelHeight));
    painter.setPen(QPen(QColor(0x22, 0x28, 0x30), 1));
    for (int x : {kCol2 - 12, kCol3 - 12, kCol4 - 14}) {
        painter.drawLine(QPointF(x + 0.5, kPanelTop + 16), QPointF(x + 0.5, kPanelTop + kPanelHeight - 16));
    }

    // Wells behind the busy indicator and the colour value fields.
    DrawWell(painter, QRectF(kMargin, kBottomBarTop + 7, 176, 22), 11);
}

void AddKeys(WindowSkin& skin) {
    for (const KeyCap& key : KeyboardKeys()) {
        skin.AddButton(QString::fromStdString(KeyLayoutName(key.scanCode)), KeyRect(key), Role::Key,
                       KeyFace(QString::fromUtf8(key.legend)));
    }
    skin.AddButton(QStringLiteral("KEY_FN"), KeyRect(FnKey()), Role::Key, KeyFace(QStringLiteral("Fn")));
    for (int i = 0; i < kGKeysPerBank; ++i) {
        const QRect face(kMargin + kCasePad, kKeysTop + 2 + i * 32, kMacroColumnWidth, 30);
        skin.AddButton(QStringLiteral("FUNC_G%1").arg(i + 1), face.translated(1, 1), Role::Key,
                       KeyFace(QStringLiteral("G%1").arg(i + 1)));
    }
    // The lock lights sit above the numpad, where the function row leaves room.
    const char* locks[][2] = {
        {"LOCK_NUM", "NUM"}, {"LOCK_CAPS", "CAPS"}, {"LOCK_SCROLL", "SCROLL"}, {"LOCK_AB", "A/B"}};
    for (int i = 0; i < 4; ++i) {
        const QRect face(static_cast<int>(kKeysLeft + (19 + i) * kUnit) + 2, kKeysTop + 2, 41, 40);
        skin.AddButton(QString::fromLatin1(locks[i][0]), face.translated(1, 1), Role::Lock,
                       LockFace(QString::fromLatin1(locks[i][1])));
    }
}

void AddHeader(WindowSkin& skin) {
    skin.AddPlaced(QStringLiteral("LORVEN_VER"), QRect(kMargin + 186, 21, 120, 16));
    const struct {
        const char* key;
        int x;
        Icon icon;
        bool danger;
    } ghosts[] = {{"CONTROL_Network", 920, Icon::Globe, false}, {"CONTROL_Facebook", 954, Icon::Chat, false},
                  {"CONTROL_twitter", 988, Icon::Share, false}, {"CONTROL_MENU", 1038, Icon::Menu, false},
                  {"CONTROL_HELP", 1072, Icon::Help, false},    {"CONTROL_MINIMIZE", 1106, Icon::Minimize, false},
                  {"CONTROL_CLOSE", 1140, Icon::Close, true}};
    for (const auto& g : ghosts) {
        skin.AddButton(QString::fromLatin1(g.key), QRect(g.x + 1, 14, 30, 30), Role::Push, GhostFace(g.icon, g.danger));
    }
    skin.AddButton(QStringLiteral("LORVEN_LINK"), QRect(791, 14, 118, 30), Role::Push,
                   PlateFace(QStringLiteral("brasslane"), Icon::ExternalLink, 15));
}

void AddProfileBar(WindowSkin& skin) {
    constexpr int top = 67;
    for (int i = 0; i < 3; ++i) {
        skin.AddButton(QStringLiteral("FUNC_PROFILE%1").arg(i + 1), QRect(kMargin + 1 + i * 108, top, 106, 34),
                       Role::Choice, PlateFace());
    }
    skin.AddButton(QStringLiteral("FUNC_DEFAULT"), QRect(365, top, 112, 34), Role::Choice, PlateFace());
    skin.AddButton(QStringLiteral("FUNC_SWITCH"), QRect(489, top, 150, 34), Role::Choice, PlateFace());
    skin.AddButton(QStringLiteral("FLIP_0"), QRect(663, top, 34, 34), Role::Choice, PlateFace({}, Icon::Keyboard));
    skin.AddButton(QStringLiteral("FLIP_1"), QRect(699, top, 72, 34), Role::Choice,
                   PlateFace(QStringLiteral("F1\u2013F4")));
    skin.AddButton(QStringLiteral("FLIP_2"), QRect(773, top, 72, 34), Role::Choice,
                   PlateFace(QStringLiteral("D1\u2013D6")));
    skin.AddButton(QStringLiteral("FUNC_PROFILES"), QRect(879, top, 160, 34), Role::Push, PlateFace());
    skin.AddButton(QStringLiteral("FUNC_MACRO"), QRect(1047, top, 124, 34), Role::Push, PlateFace());
}

void AddLightingPanel(WindowSkin& skin) {
    // Column 1: the lighting switch between the two animated arrows, and the effect list.
    skin.AddPlaced(QStringLiteral("CONTROL_DengStatic"), QRect(kCol1, kRow1, 200, 18));
    skin.AddButton(QStringLiteral("LEFT_ARROW"), QRect(kCol1, kRow2 + 5, 22, 22), Role::Push, {});
    skin.AddPlaced(QStringLiteral("CONTROL_DengStaPic"), QRect(kCol1 + 28, kRow2 + 2, 56, 28));
    skin.AddButton(QStringLiteral("RIGHT_ARROW"), QRect(kCol1 + 90, kRow2 + 5, 22, 22), Role::Push, {});
    skin.AddPlaced(QStringLiteral("CONTROL_XGcombox"), QRect(kCol1, kRow4, 200, 32));

    // Column 2: brightness and speed.
    skin.AddPlaced(QStringLiteral("CONTROL_LightStatic"), QRect(kCol2, kRow1, 200, 18));
    skin.AddPlaced(QStringLiteral("CONTROL_LightSlider"), QRect(kCol2, kRow2 + 4, 200, 24));
    skin.AddPlaced(QStringLiteral("CONTROL_SpeedStatic"), QRect(kCol2, kRow3, 200, 18));
    skin.AddPlaced(QStringLiteral("CONTROL_SpeedSlider"), QRect(kCol2, kRow4 + 4, 200, 24));

    // Column 3: the controls that depend on the effect. Groups that are never shown together
    // share their places.
    const QRect dirLabel(kCol3, kRow1, 120, 18);
    const QRect dirFirst(kCol3, kRow2, 52, 32);
    const QRect dirSecond(kCol3 + 58, kRow2, 52, 32);
    for (const char* suffix : {"", "2", "3"}) {
        skin.AddPlaced(QStringLiteral("CONTROL_BLFXStatic%1").arg(suffix), dirLabel);
        skin.AddPlaced(QStringLiteral("CONTROL_BLFXLStaPic%1").arg(suffix), dirFirst);
        skin.AddPlaced(QStringLiteral("CONTROL_BLFXRStaPic%1").arg(suffix), dirSecond);
    }
    const QRect colourLabel(kCol3 + 132, kRow1, 104, 18);
    const QRect colourButton(kCol3 + 132, kRow2, 72, 32);
    const QRect toggleLabel(kCol3, kRow3, 120, 18);
    const QRect toggle(kCol3, kRow4 + 2, 56, 28);
    skin.AddPlaced(QStringLiteral("CONTROL_HXysStatic"), colourLabel);
    skin.AddPlaced(QStringLiteral("CONTROL_HXysButton"), colourButton);
    skin.AddPlaced(QStringLiteral("CONTROL_HXsjsStatic"), toggleLabel);
    skin.AddPlaced(QStringLiteral("CONTROL_HXsjsStaPic"), toggle);
    skin.AddPlaced(QStringLiteral("CONTROL_FYYSStatic"), colourLabel);
    skin.AddPlaced(QStringLiteral("CONTROL_FYYSButton"), colourButton);
    skin.AddPlaced(QStringLiteral("CONTROL_FYSJSStatic"), toggleLabel);
    skin.AddPlaced(QStringLiteral("CONTROL_FYSJSStaPic"), toggle);
    const char* fourColours[] = {"CONTROL_HONGPIC", "CONTROL_HUANGPIC", "CONTROL_LVPIC", "CONTROL_LANPIC"};
    for (int i = 0; i < 4; ++i) {
        skin.AddPlaced(QString::fromLatin1(fourColours[i]), QRect(kCol3 + i * 42, kRow2, 32, 32));
    }
    // Controls the panel keeps hidden still get places, on top of the colour group.
    for (const char* key : {"CONTROL_FYCFStatic", "CONTROL_FYdjcfStatic", "CONTROL_FYggcfStatc", "CONTROL_JTysStatic",
                            "CONTROL_TSysStatic", "CONTROL_TSsjsStatic", "CONTROL_CDysStatic", "CONTROL_CDsjsStatic"}) {
        skin.AddPlaced(QString::fromLatin1(key), colourLabel);
    }
    for (const char* key :
         {"CONTROL_FYdjcfStaPic", "CONTROL_FYggcfStaPic", "CONTROL_TSsjsStaPic", "CONTROL_CDsjsStaPic"}) {
        skin.AddPlaced(QString::fromLatin1(key), toggle);
    }
    for (const char* key : {"CONTROL_JTysButton", "CONTROL_TSysButton", "CONTROL_CDysButton"}) {
        skin.AddPlaced(QString::fromLatin1(key), colourButton);
    }
    // The per-key user mode: base and mark colours, the two tools and the mode list.
    skin.AddPlaced(QStringLiteral("CONTROL_USERysStatic"), QRect(kCol3, kRow1, 74, 18));
    skin.AddPlaced(QStringLiteral("CONTROL_USERysButton"), QRect(kCol3, kRow2, 66, 32));
    skin.AddPlaced(QStringLiteral("CONTROL_USERjsStatic"), QRect(kCol3 + 78, kRow1, 74, 18));
    skin.AddPlaced(QStringLiteral("CONTROL_USERjsButton"), QRect(kCol3 + 78, kRow2, 66, 32));
    skin.AddPlaced(QStringLiteral("CONTROL_USERgjStatic"), QRect(kCol3 + 156, kRow1, 80, 18));
    skin.AddPlaced(QStringLiteral("CONTROL_USERgjStaPic1"), QRect(kCol3 + 156, kRow2, 38, 32));
    skin.AddPlaced(QStringLiteral("CONTROL_USERgjStaPic2"), QRect(kCol3 + 198, kRow2, 38, 32));
    skin.AddPlaced(QStringLiteral("CONTROL_umCombo"), QRect(kCol3, kRow4, 236, 32));

    // Column 4: report rate, colour presets and the colour value fields.
    skin.AddPlaced(QStringLiteral("CONTROL_UsbStatic"), QRect(kCol4, kRow1, 200, 18));
    const char* rates[] = {"125 Hz", "250 Hz", "500 Hz", "1000 Hz"};
    for (int i = 0; i < 4; ++i) {
        skin.AddButton(QStringLiteral("FUNC_REPORT%1").arg(i + 1), QRect(kCol4 + 1 + i * 97, kRow2 + 1, 94, 32),
                       Role::Choice, PlateFace(QString::fromLatin1(rates[i])));
    }
    for (int i = 0; i < 8; ++i) {
        const Rgb& c = kPresetColours[i];
        skin.AddButton(QStringLiteral("CONTROL_Color%1").arg(i + 1), QRect(kCol4 + 1 + i * 34, kRow4 + 3, 28, 28),
                       Role::Push, SwatchFace(QColor(c.r, c.g, c.b)));
    }
    const int fields = kCol4 + 276;
    skin.AddPlaced(QStringLiteral("CONTROL_RGBStatic"), QRect(fields, kRow3, 108, 18));
    skin.AddPlaced(QStringLiteral("COLOR_R"), QRect(fields, kRow4 + 2, 38, 28));
    skin.AddPlaced(QStringLiteral("COLOR_G"), QRect(fields + 42, kRow4 + 2, 38, 28));
    skin.AddPlaced(QStringLiteral("COLOR_B"), QRect(fields + 84, kRow4 + 2, 38, 28));
}

void AddBottomBar(WindowSkin& skin) {
    skin.AddPlaced(QStringLiteral("CONTROL_JDTStatic"), QRect(kMargin + 8, kBottomBarTop + 10, 160, 16));
    const int right = kWidth - kMargin;
    skin.AddButton(QStringLiteral("CONTROL_OK"), QRect(right - 3 * 110 - 16 + 1, kBottomBarTop + 1, 110, 34),
                   Role::Push, PlateFace());
    skin.AddButton(QStringLiteral("CONTROL_CANCEL"), QRect(right - 2 * 110 - 8 + 1, kBottomBarTop + 1, 110, 34),
                   Role::Push, PlateFace());
    skin.AddButton(QStringLiteral("CONTROL2_APPLY"), QRect(right - 110 + 1, kBottomBarTop + 1, 110, 34), Role::Push,
                   PlateFace());
    // D1..D6, which the flip setting turns on in place of F1..F4, in the bar's middle.
    constexpr int dWidth = 52;
    constexpr int dGap = 6;
    const int dLeft = 432;
    for (int i = 0; i < 6; ++i) {
        skin.AddButton(QStringLiteral("FUNC_D%1").arg(i + 1),
                       QRect(dLeft + i * (dWidth + dGap) + 1, kBottomBarTop + 3, dWidth, 30), Role::Key,
                       KeyFace(QStringLiteral("D%1").arg(i + 1)));
    }
}

constexpr int kArrowSize = 22;

// Frames sit on a 2-pixel grid gap so that no origin is the (1, 1) of a missing key.
constexpr int kArrowGap = 2;

QRect ArrowFrame(int set, int frame) {
    return QRect(kArrowGap + set * (kArrowSize + kArrowGap), kArrowGap + frame * (kArrowSize + kArrowGap), kArrowSize,
                 kArrowSize);
}

const char* const kArrowSets[] = {"UP_ARROW_LEFT", "DOWN_ARROW_LEFT", "UP_ARROW_RIGHT", "DOWN_ARROW_RIGHT"};

} // namespace

WindowSkin BuildMainSkin() {
    WindowSkin skin({kWidth, kHeight}, 14);
    skin.SetBackground(DrawMainBackground);
    AddHeader(skin);
    AddProfileBar(skin);
    AddKeys(skin);
    AddLightingPanel(skin);
    AddBottomBar(skin);
    for (int set = 0; set < 4; ++set) {
        for (int frame = 0; frame < 2; ++frame) {
            // The origin is written like a button position: the frame is cut at (x - 1, y - 1).
            skin.AddOrigin(QStringLiteral("%1%2").arg(QLatin1String(kArrowSets[set])).arg(frame + 1),
                           ArrowFrame(set, frame).translated(1, 1));
        }
    }
    return skin;
}

QImage RenderArrowPicture(const QImage& mainBackground, const WindowSkin& main) {
    QImage picture(kArrowGap + 4 * (kArrowSize + kArrowGap), kArrowGap + 2 * (kArrowSize + kArrowGap),
                   QImage::Format_RGB32);
    picture.fill(colour::kCardFill);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int set = 0; set < 4; ++set) {
        const bool up = set % 2 == 0;
        const QRect placed = main.RectOf(set < 2 ? QStringLiteral("LEFT_ARROW") : QStringLiteral("RIGHT_ARROW"));
        for (int frame = 0; frame < 2; ++frame) {
            const QRectF cell = ArrowFrame(set, frame);
            // Each frame carries the window background of the place it is shown at.
            painter.drawImage(cell.topLeft(), mainBackground.copy(placed));
            const double shift = frame == 0 ? 0.0 : 2.5;
            const double dir = up ? -1.0 : 1.0;
            const QPointF c = cell.center() + QPointF(0, dir * shift);
            QPainterPath chevron;
            chevron.moveTo(c + QPointF(-5.5, -dir * 3));
            chevron.lineTo(c + QPointF(0, dir * 2.5));
            chevron.lineTo(c + QPointF(5.5, -dir * 3));
            painter.setPen(QPen(frame == 0 ? colour::kAccentLight : colour::kAccentDark, 2.4, Qt::SolidLine,
                                Qt::RoundCap, Qt::RoundJoin));
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(chevron);
        }
    }
    return picture;
}

} // namespace brasslane::skingen
