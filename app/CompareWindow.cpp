#include "CompareWindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

CompareWindow::CompareWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), list(new QTreeWidget(this)), summary(new QLabel(this)),
      takeSelected(new QPushButton(QStringLiteral("取用所选"), this)),
      takeAll(new QPushButton(QStringLiteral("全部取用"), this)),
      sendAll(new QPushButton(QStringLiteral("全部发送到机器"), this))
{
    setWindowTitle(QStringLiteral("比较"));
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list->header()->setMinimumSectionSize(110);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(takeSelected);
    buttons->addWidget(takeAll);
    buttons->addStretch();
    buttons->addWidget(sendAll);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    layout->addWidget(list);
    layout->addLayout(buttons);
    connect(takeSelected, &QPushButton::clicked, this, &CompareWindow::TakeSelected);
    connect(takeAll, &QPushButton::clicked, this, &CompareWindow::TakeAll);
    connect(sendAll, &QPushButton::clicked, this, &CompareWindow::SendAll);
    resize(460, 360);
}

void CompareWindow::Show(const QList<SettingDifference> &found, const QString &otherSide, bool otherIsUnit,
                         const QString &agreementText)
{
    differences = found;
    agreement = agreementText;
    list->clear();
    list->setHeaderLabels({QStringLiteral("设置"), QStringLiteral("编辑器"), otherSide});
    for (const SettingDifference &d : found)
        list->addTopLevelItem(new QTreeWidgetItem(
            {d.setting->Name(), d.setting->ShownWithRaw(d.first), d.setting->ShownWithRaw(d.second)}));
    sendAll->setVisible(otherIsUnit);
    Remove({});
    show();
    raise();
    activateWindow();
}

void CompareWindow::Remove(const QList<int> &rows)
{
    QList<int> sorted = rows;
    std::sort(sorted.rbegin(), sorted.rend());
    for (int row : sorted) {
        delete list->takeTopLevelItem(row);
        differences.removeAt(row);
    }
    summary->setText(differences.isEmpty() ? agreement : QStringLiteral("%1 项不同").arg(differences.size()));
    for (QPushButton *button : {takeSelected, takeAll, sendAll})
        button->setEnabled(!differences.isEmpty());
}

void CompareWindow::TakeSelected()
{
    QList<int> rows;
    QList<SettingDifference> taken;
    for (QTreeWidgetItem *item : list->selectedItems()) {
        const int row = list->indexOfTopLevelItem(item);
        rows << row;
        taken << differences.at(row);
    }
    if (taken.isEmpty())
        return;
    emit TakeValues(taken);
    Remove(rows);
}

void CompareWindow::TakeAll()
{
    list->selectAll();
    TakeSelected();
}

void CompareWindow::SendAll()
{
    const int acknowledged = SendToUnit ? SendToUnit(differences) : 0;
    QList<int> rows;
    for (int i = 0; i < acknowledged; ++i)
        rows << i;
    Remove(rows);
}
