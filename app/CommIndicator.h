#pragma once

#include <QTimer>
#include <QWidget>

class QPlainTextEdit;
struct AppState;

// The traffic log window: shows CommLog and follows it as it grows.
class CommIndicator : public QWidget
{
    Q_OBJECT

public:
    explicit CommIndicator(AppState &state, QWidget *parent = nullptr);
    ~CommIndicator() override;

    QPlainTextEdit *Text1() const { return text1; }
    QTimer &Timer1() { return timer1; }

    void Timer1_Timer();
    // Asks for a file and keeps the text shown there (the context menu's last entry).
    void SaveToFile();

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ShowMenu(const QPoint &pos);

    AppState &state;
    QPlainTextEdit *text1;
    QTimer timer1;
    qsizetype LastShownLength = 0;
};
