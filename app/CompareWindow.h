#pragma once

#include "NamedSettings.h"

#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;
class QTreeWidget;

// The settings in which the editor and the unit (or a settings file) differ,
// each with both values as the sliders show them and the raw bytes. The user
// takes the other side's values into the editor, or sends the editor's to the unit.
class CompareWindow : public QWidget
{
    Q_OBJECT

public:
    explicit CompareWindow(QWidget *parent = nullptr);

    // first: the editor's value, second: the other side's. otherSide names it ("机器", "文件").
    void Show(const QList<SettingDifference> &differences, const QString &otherSide, bool otherIsUnit,
              const QString &agreement = QStringLiteral("一致"));
    const QList<SettingDifference> &Differences() const { return differences; }
    QTreeWidget *List() const { return list; }
    QLabel *Summary() const { return summary; }

    void TakeSelected();
    void TakeAll();
    void SendAll();
    // Sends the editor's values of these settings, in order; how many the unit acknowledged.
    std::function<int(const QList<SettingDifference> &settings)> SendToUnit;

signals:
    void TakeValues(const QList<SettingDifference> &taken);

private:
    void Remove(const QList<int> &rows);

    QList<SettingDifference> differences;
    QString agreement;
    QTreeWidget *list;
    QLabel *summary;
    QPushButton *takeSelected;
    QPushButton *takeAll;
    QPushButton *sendAll;
};
