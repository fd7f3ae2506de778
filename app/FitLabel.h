#pragma once
// A panel caption that is never cut: a text too wide for the panel is drawn in a smaller
// size of the panel's font, down to a floor; beyond that it is elided, and the tool tip
// shows it whole. text() always holds the whole text.

#include <QLabel>

namespace pb {

class FitLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    // The font and text the panel draws now.
    QFont shownFont() const;
    QString shownText() const;

    // The smallest share of the designed size a text is shrunk to.
    static constexpr int kSmallestPercent = 55;

    // Keeps px clear at both ends of a centred text: a lamp inside the panel's right end.
    void setEndRoom(int px) { endRoom_ = px; }
    // The width a text may take.
    int room() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    int endRoom_ = 0;
};

}  // namespace pb
