#pragma once

// A button showing a colour; a click opens the colour chooser and reports the colour chosen.
// A button without an explicit colour stands for its automatic colour.

#include <QAbstractButton>
#include <QColor>

#include <optional>

namespace brasslane::gui {

class CColorButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit CColorButton(QWidget* parent = nullptr);

    // nullopt: no explicit colour, the automatic colour applies.
    void SetColour(std::optional<QColor> colour);
    std::optional<QColor> Colour() const { return m_colour; }
    void SetAutomaticColour(const QColor& colour);
    QColor AutomaticColour() const { return m_automatic; }
    // The explicit colour, else the automatic one: what the button stands for.
    QColor EffectiveColour() const { return m_colour.value_or(m_automatic); }

    // Tests answer the colour chooser in advance: the next click takes this answer instead of
    // opening the chooser (an invalid colour counts as cancelled).
    static void SetNextChooserAnswer(std::optional<QColor> answer);

signals:
    // The user chose a colour (reported as EffectiveColour after the choice).
    void ColourChosen(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;
    void nextCheckState() override;

private:
    void Choose();

    std::optional<QColor> m_colour;
    QColor m_automatic{0, 0, 0};
};

} // namespace brasslane::gui
