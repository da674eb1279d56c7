#include "Faces.h"
#include "Skins.h"

#include <QPainterPath>

namespace brasslane::skingen {
namespace {

// The title strip shared by the small dialogs: an icon badge, the title and a separator line.
void DrawDialogChrome(QPainter& painter, QSize size, Icon badge, const QString& title) {
    DrawWindowBackground(painter, size, 12);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF badgeRect(20, 14, 28, 28);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2E, 0x29, 0x20));
    painter.drawPath(RoundedRect(badgeRect, 7));
    painter.restore();
    DrawIcon(painter, badgeRect.adjusted(6, 6, -6, -6), badge, colour::kAccentLight);
    painter.setFont(UiFont(15, true));
    painter.setPen(colour::kText);
    painter.drawText(QRectF(58, 14, size.width() - 80, 28), Qt::AlignVCenter | Qt::AlignLeft, title);
    painter.setPen(QPen(colour::kLine, 1));
    painter.drawLine(QPointF(20, 52.5), QPointF(size.width() - 20, 52.5));
}

constexpr unsigned Bit(int variant) {
    return 1U << variant;
}

// The record button: on the pressed picture, whose face the button keeps while a recording
// runs, the plate glows red.
FaceDrawer RecordFace() {
    const FaceDrawer plate = IconPlateFace(Icon::Record);
    return [plate](QPainter& painter, const QRectF& face, Look look, int variant) {
        plate(painter, face, look, variant);
        if (look != Look::Down) {
            return;
        }
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        QColor glow = colour::kDanger;
        glow.setAlpha(70);
        painter.setPen(QPen(colour::kDanger, 1.5));
        painter.setBrush(glow);
        painter.drawPath(RoundedRect(face.adjusted(1, 1, -1, -1), 8));
        painter.restore();
    };
}

// The key dialog: title strip, page tabs, the page area and OK / Cancel / Apply.
constexpr int kCompositeWidth = 560;
constexpr int kCompositeHeight = 446;
constexpr QRect kPageArea(20, 104, kCompositeWidth - 40, 280);
constexpr int kPageLeft = kPageArea.x() + 16;
constexpr int kPageTop = kPageArea.y() + 14;

} // namespace

WindowSkin BuildCompositeSkin() {
    constexpr int width = kCompositeWidth;
    constexpr int height = kCompositeHeight;
    constexpr QRect content = kPageArea;
    constexpr int x0 = kPageLeft;
    constexpr int y0 = kPageTop;
    WindowSkin skin({width, height}, 12);
    skin.SetBackground([](QPainter& painter) {
        DrawWindowBackground(painter, {kCompositeWidth, kCompositeHeight}, 12);
        painter.setPen(QPen(colour::kLine, 1));
        painter.drawLine(QPointF(20, 51.5), QPointF(kCompositeWidth - 20, 51.5));
        DrawCard(painter, QRectF(kPageArea), 10);
    });
    // Page furniture (list and field wells) belongs to the page's pictures, so that the page
    // picture shown through CONTROL_MASK brings it along.
    skin.SetSheetDecoration([](QPainter& painter, int variant) {
        switch (variant) {
        case kKeyPage:
            DrawWell(painter, QRectF(kPageLeft + 28, kPageTop + 112, 300, 30));
            DrawWell(painter, QRectF(kPageLeft + 28, kPageTop + 192, 300, 30));
            break;
        case kMacroPage:
        case kMacroOnlyPage:
            DrawWell(painter, QRectF(kPageLeft, kPageTop + 24, 260, 30));
            DrawWell(painter, QRectF(kPageLeft + 350, kPageTop + 24, 70, 30));
            DrawWell(painter, QRectF(kPageLeft, kPageTop + 66, 340, 184));
            break;
        case kMediaPage:
        case kFunctionPage:
            DrawWell(painter, QRectF(kPageLeft, kPageTop + 50, kPageArea.width() - 32, 200));
            break;
        default:
            break;
        }
    });

    skin.AddPlaced(QStringLiteral("CONTROL_TITLE"), QRect(20, 16, 380, 26));
    skin.AddButton(QStringLiteral("CONTROL_OSK"), QRect(width - 91, 15, 32, 30), Role::Push, GhostFace(Icon::Keyboard));
    skin.AddButton(QStringLiteral("CONTROL_CLEAR"), QRect(width - 53, 15, 32, 30), Role::Push, GhostFace(Icon::Eraser));

    const char* tabs[] = {"CONTROL_KEY", "CONTROL_MACRO", "CONTROL_MEDIA", "CONTROL_FUNCTION"};
    const int tabPages[] = {kKeyPage, kMacroPage, kMediaPage, kFunctionPage};
    constexpr int tabWidth = (width - 40 - 3 * 6) / 4;
    for (int i = 0; i < 4; ++i) {
        FaceDrawer tab = TabFace(tabPages[i]);
        // With a macro key only the macro page is offered: the macro tab shows open and the
        // others greyed.
        FaceDrawer draw = [tab, i](QPainter& painter, const QRectF& face, Look look, int variant) {
            if (variant == kMacroOnlyPage) {
                tab(painter, face, i == 1 ? look : Look::Dimmed, kMacroPage);
            } else {
                tab(painter, face, look, variant);
            }
        };
        skin.AddButton(QString::fromLatin1(tabs[i]), QRect(21 + i * (tabWidth + 6), 59, tabWidth, 36), Role::Push,
                       draw);
    }
    skin.AddPlaced(QStringLiteral("CONTROL_MASK"), content);

    // Key page.
    skin.AddPlaced(QStringLiteral("TISHI_SINGLE_STATIC"), QRect(x0, y0, content.width() - 32, 40));
    skin.AddPlaced(QStringLiteral("KEY_SETTING"), QRect(x0, y0 + 50, 300, 20));
    skin.AddButton(QStringLiteral("FUNC_KEY_RADIO_KB"), QRect(x0 + 1, y0 + 83, 22, 22), Role::Push,
                   OnVariants(Bit(kKeyPage), OptionFace(true)));
    skin.AddPlaced(QStringLiteral("FUNC_KEY_RADIO_KB_STATIC"), QRect(x0 + 28, y0 + 84, 260, 20));
    skin.AddPlaced(QStringLiteral("FUNC_KEY_INPUT"), QRect(x0 + 28, y0 + 112, 300, 30));
    skin.AddButton(QStringLiteral("FUNC_KEY_RADIO_MOU"), QRect(x0 + 1, y0 + 163, 22, 22), Role::Push,
                   OnVariants(Bit(kKeyPage), OptionFace(true)));
    skin.AddPlaced(QStringLiteral("FUNC_KEY_RADIO_MOU_STATIC"), QRect(x0 + 28, y0 + 164, 260, 20));
    skin.AddPlaced(QStringLiteral("FUNC_KEY_COMBO_MOU"), QRect(x0 + 28, y0 + 192, 300, 30));

    // Macro page: name list, repeat count, step list, and the step commands at the right.
    const unsigned macroPages = Bit(kMacroPage) | Bit(kMacroOnlyPage);
    skin.AddPlaced(QStringLiteral("MARCO_NAME_SETTING"), QRect(x0, y0, 260, 20));
    skin.AddPlaced(QStringLiteral("FUNC_MACRO_LIST"), QRect(x0, y0 + 24, 260, 30));
    skin.AddButton(QStringLiteral("FUNC_MACRO_ADD"), QRect(x0 + 269, y0 + 25, 32, 30), Role::Push,
                   OnVariants(macroPages, PlateFace({}, Icon::Plus)));
    skin.AddButton(QStringLiteral("FUNC_MACRO_DELETE"), QRect(x0 + 307, y0 + 25, 32, 30), Role::Push,
                   OnVariants(macroPages, PlateFace({}, Icon::Trash)));
    skin.AddPlaced(QStringLiteral("FUNC_MACRO_CYCLES_PROMPT"), QRect(x0 + 350, y0, 140, 20));
    skin.AddPlaced(QStringLiteral("FUNC_MACRO_CYCLES"), QRect(x0 + 350, y0 + 24, 70, 30));
    skin.AddPlaced(QStringLiteral("FUNC_MACRO_LIST2"), QRect(x0, y0 + 66, 340, 184));
    constexpr int x1 = x0 + 352;
    constexpr int half = 66;
    skin.AddButton(QStringLiteral("FUNC_MACRO_RECORD"), QRect(x1 + 1, y0 + 67, 136, 30), Role::Push,
                   OnVariants(macroPages, RecordFace()));
    skin.AddButton(QStringLiteral("FUNC_MACRO_DELETE2"), QRect(x1 + 1, y0 + 101, 136, 30), Role::Push,
                   OnVariants(macroPages, PlateFace()));
    skin.AddButton(QStringLiteral("FUNC_MACRO_CLEAR"), QRect(x1 + 1, y0 + 135, 136, 30), Role::Push,
                   OnVariants(macroPages, PlateFace()));
    skin.AddButton(QStringLiteral("FUNC_MACRO_UP_TOP"), QRect(x1 + 1, y0 + 169, half, 30), Role::Push,
                   OnVariants(macroPages, PlateFace()));
    skin.AddButton(QStringLiteral("FUNC_MACRO_UP"), QRect(x1 + half + 5, y0 + 169, half + 4, 30), Role::Push,
                   OnVariants(macroPages, PlateFace()));
    skin.AddButton(QStringLiteral("FUNC_MACRO_DOWN"), QRect(x1 + 1, y0 + 203, half, 30), Role::Push,
                   OnVariants(macroPages, PlateFace()));
    skin.AddButton(QStringLiteral("FUNC_MACRO_DOWN_BOTTOM"), QRect(x1 + half + 5, y0 + 203, half + 4, 30), Role::Push,
                   OnVariants(macroPages, PlateFace()));
    skin.AddButton(QStringLiteral("FUNC_MACRO_RECORD_DELAY"), QRect(x1 + 1, y0 + 239, 20, 20), Role::Push,
                   OnVariants(macroPages, OptionFace(false)));
    skin.AddPlaced(QStringLiteral("FUNC_MACRO_RECORD_DELAY2"), QRect(x1 + 26, y0 + 239, 112, 20));

    // Media and keyboard-function pages: a hint over a list.
    skin.AddPlaced(QStringLiteral("MEDIA_SETTING_TISHI"), QRect(x0, y0, content.width() - 32, 40));
    skin.AddPlaced(QStringLiteral("FUNC_MEDIA_SELECT"), QRect(x0, y0 + 50, content.width() - 32, 200));
    skin.AddPlaced(QStringLiteral("FUNCTION_KEY_SETTING_TISHI"), QRect(x0, y0, content.width() - 32, 40));
    skin.AddPlaced(QStringLiteral("FUNC_FUNCTION_SELECT"), QRect(x0, y0 + 50, content.width() - 32, 200));

    // OK, Cancel and Apply, as in the main window; Apply shows dimmed while nothing changed.
    skin.AddButton(QStringLiteral("CONTROL_OK"), QRect(width - 20 - 3 * 104 - 16 + 1, height - 48, 104, 34), Role::Push,
                   PlateFace());
    skin.AddButton(QStringLiteral("CONTROL_CANCEL"), QRect(width - 20 - 2 * 104 - 8 + 1, height - 48, 104, 34),
                   Role::Push, PlateFace());
    skin.AddButton(QStringLiteral("CONTROL2_APPLY"), QRect(width - 20 - 104 + 1, height - 48, 104, 34), Role::Push,
                   PlateFace());
    return skin;
}

WindowSkin BuildProfileSkin() {
    constexpr int width = 500;
    constexpr int height = 348;
    WindowSkin skin({width, height}, 12);
    skin.SetBackground([](QPainter& painter) {
        DrawDialogChrome(painter, {width, height}, Icon::Layers, QStringLiteral("Profiles"));
        DrawWell(painter, QRectF(20, 64, width - 40, 214), 8);
    });
    skin.AddPlaced(QStringLiteral("PROGRAM_LIST"), QRect(21, 65, width - 42, 212));
    const int row = 294;
    skin.AddButton(QStringLiteral("FUNC_ADD"), QRect(21, row + 1, 40, 34), Role::Push, PlateFace({}, Icon::Plus));
    skin.AddButton(QStringLiteral("FUNC_LOAD"), QRect(67, row + 1, 40, 34), Role::Push,
                   PlateFace({}, Icon::FolderOpen));
    skin.AddButton(QStringLiteral("FUNC_DELETE"), QRect(113, row + 1, 40, 34), Role::Push, PlateFace({}, Icon::Trash));
    const int right = width - 20;
    skin.AddButton(QStringLiteral("CONTROL_OK"), QRect(right - 3 * 92 - 16 + 1, row + 1, 92, 34), Role::Push,
                   PlateFace());
    skin.AddButton(QStringLiteral("CONTROL_CANCEL"), QRect(right - 2 * 92 - 8 + 1, row + 1, 92, 34), Role::Push,
                   PlateFace());
    skin.AddButton(QStringLiteral("CONTROL2_APPLY"), QRect(right - 92 + 1, row + 1, 92, 34), Role::Push, PlateFace());
    return skin;
}

WindowSkin BuildAutoProfileSkin() {
    constexpr int width = 540;
    constexpr int height = 440;
    WindowSkin skin({width, height}, 12);
    skin.SetBackground([](QPainter& painter) {
        DrawDialogChrome(painter, {width, height}, Icon::Layers, QStringLiteral("Automatic profiles"));
        DrawWell(painter, QRectF(20, 104, width - 40, 176), 8);
        DrawWell(painter, QRectF(152, 292, width - 152 - 118, 30), 6);
    });
    // The switch and the default profile.
    skin.AddButton(QStringLiteral("FUNC_AUTO_ENABLED"), QRect(21, 65, 22, 22), Role::Push, OptionFace(false));
    skin.AddPlaced(QStringLiteral("AUTO_ENABLED_TEXT"), QRect(50, 64, 210, 24));
    skin.AddPlaced(QStringLiteral("AUTO_DEFAULT_TEXT"), QRect(270, 64, 110, 24));
    skin.AddPlaced(QStringLiteral("AUTO_DEFAULT"), QRect(380, 62, width - 400, 28));
    // The rules, and the editor of one rule under them: what to match, the text, the profile.
    skin.AddPlaced(QStringLiteral("PROGRAM_LIST"), QRect(21, 105, width - 42, 174));
    skin.AddPlaced(QStringLiteral("AUTO_MATCH"), QRect(20, 292, 124, 30));
    skin.AddPlaced(QStringLiteral("AUTO_PATTERN"), QRect(156, 294, width - 152 - 126, 26));
    skin.AddPlaced(QStringLiteral("AUTO_PROFILE"), QRect(width - 110, 292, 90, 30));
    const int row = 334;
    skin.AddButton(QStringLiteral("FUNC_ADD"), QRect(21, row + 1, 40, 34), Role::Push, PlateFace({}, Icon::Plus));
    skin.AddButton(QStringLiteral("FUNC_CHANGE"), QRect(67, row + 1, 40, 34), Role::Push, PlateFace({}, Icon::Check));
    skin.AddButton(QStringLiteral("FUNC_DELETE"), QRect(113, row + 1, 40, 34), Role::Push, PlateFace({}, Icon::Trash));
    skin.AddButton(QStringLiteral("FUNC_UP"), QRect(159, row + 1, 40, 34), Role::Push,
                   PlateFace(QStringLiteral("\u25B2")));
    skin.AddButton(QStringLiteral("FUNC_DOWN"), QRect(205, row + 1, 40, 34), Role::Push,
                   PlateFace(QStringLiteral("\u25BC")));
    skin.AddButton(QStringLiteral("FUNC_PICK"), QRect(width - 20 - 200 + 1, row + 1, 200, 34), Role::Push,
                   IconPlateFace(Icon::Keyboard));
    skin.AddPlaced(QStringLiteral("AUTO_STATUS"), QRect(21, height - 50, width - 42 - 3 * 92 - 24, 40));
    const int right = width - 20;
    skin.AddButton(QStringLiteral("CONTROL_OK"), QRect(right - 3 * 92 - 16 + 1, height - 47, 92, 34), Role::Push,
                   PlateFace());
    skin.AddButton(QStringLiteral("CONTROL_CANCEL"), QRect(right - 2 * 92 - 8 + 1, height - 47, 92, 34), Role::Push,
                   PlateFace());
    skin.AddButton(QStringLiteral("CONTROL2_APPLY"), QRect(right - 92 + 1, height - 47, 92, 34), Role::Push,
                   PlateFace());
    return skin;
}

WindowSkin BuildUpdateSkin() {
    constexpr int width = 480;
    constexpr int height = 224;
    WindowSkin skin({width, height}, 12);
    skin.SetBackground([](QPainter& painter) {
        DrawDialogChrome(painter, {width, height}, Icon::Chip, QStringLiteral("Firmware update"));
        DrawWell(painter, QRectF(20, 68, width - 40, 32), 7);
    });
    skin.AddPlaced(QStringLiteral("CONTROL_UPStatic"), QRect(30, 74, width - 60, 20));
    skin.AddPlaced(QStringLiteral("CONTROL_UPCombox"), QRect(20, 68, width - 40, 32));
    // The captions of these buttons are set by the dialog; the icons sit at the left edge.
    const auto iconPlate = IconPlateFace;
    skin.AddButton(QStringLiteral("CONTROL_OPENButton"), QRect(21, 115, 140, 34), Role::Push,
                   iconPlate(Icon::FolderOpen));
    skin.AddButton(QStringLiteral("CONTROL_BACKUPButton"), QRect(171, 115, 140, 34), Role::Push, iconPlate(Icon::Save));
    skin.AddButton(QStringLiteral("CONTROL_UPButton"), QRect(width - 20 - 2 * 140 - 10 + 1, height - 52, 140, 34),
                   Role::Push, iconPlate(Icon::Upload));
    skin.AddButton(QStringLiteral("CONTROL_CUPButton"), QRect(width - 20 - 140 + 1, height - 52, 140, 34), Role::Push,
                   iconPlate(Icon::Undo));
    return skin;
}

} // namespace brasslane::skingen
