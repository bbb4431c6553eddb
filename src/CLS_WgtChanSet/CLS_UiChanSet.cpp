#include "CLS_UiChanSet.h"

#include "CLS_WgtExportSet.h"
#include "widgets/FormRows.h"

#include "widgets/CLS_ComboBox.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>
#include <QTabWidget>
#include <QVBoxLayout>

void CLS_UiChanSet::setupUi(QWidget* _pPage)
{
    _pPage->setObjectName(QStringLiteral("CLS_WgtChanSet"));
    _pPage->setWindowTitle(QStringLiteral("Form"));
    _pPage->resize(400, 300);
    auto* pLayoutPage = new QVBoxLayout(_pPage);
    pLayoutPage->setObjectName(QStringLiteral("verticalLayout_2"));
    pLayoutPage->setSpacing(0);
    pLayoutPage->setContentsMargins(0, 0, 0, 0);
    frame_ChanSet = FormRows::NewPanel(_pPage, QStringLiteral("frame_ChanSet"));
    pLayoutPage->addWidget(frame_ChanSet);

    auto* pLayoutFrame = new QVBoxLayout(frame_ChanSet);
    pLayoutFrame->setObjectName(QStringLiteral("verticalLayout"));
    pLayoutFrame->setSpacing(0);
    pLayoutFrame->setContentsMargins(0, 0, 0, 0);

    auto* pLayoutTop = new QHBoxLayout();
    pLayoutTop->setObjectName(QStringLiteral("horizontalLayout_2"));
    pLayoutTop->setSpacing(0);
    frame_ch = FormRows::NewPanel(frame_ChanSet, QStringLiteral("frame_ch"));
    pLayoutTop->addWidget(frame_ch);
    pushButton_ResetAllChs = new QPushButton(frame_ChanSet);
    pushButton_ResetAllChs->setObjectName(QStringLiteral("pushButton_ResetAllChs"));
    pLayoutTop->addWidget(pushButton_ResetAllChs);
    pLayoutTop->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    pLayoutFrame->addLayout(pLayoutTop);

    auto* pLayoutChoose = new QHBoxLayout();
    pLayoutChoose->setObjectName(QStringLiteral("horizontalLayout"));
    pLayoutChoose->setSpacing(0);
    label_ChooseCh = new QLabel(frame_ChanSet);
    label_ChooseCh->setObjectName(QStringLiteral("label_ChooseCh"));
    pLayoutChoose->addWidget(label_ChooseCh);
    comboBox_ChooseCh = new CLS_ComboBox(frame_ChanSet);
    comboBox_ChooseCh->setObjectName(QStringLiteral("comboBox_ChooseCh"));
    pLayoutChoose->addWidget(comboBox_ChooseCh);
    label_ChName = new QLabel(frame_ChanSet);
    label_ChName->setObjectName(QStringLiteral("label_ChName"));
    pLayoutChoose->addWidget(label_ChName);
    lineEdit_ChName = new QLineEdit(frame_ChanSet);
    lineEdit_ChName->setObjectName(QStringLiteral("lineEdit_ChName"));
    pLayoutChoose->addWidget(lineEdit_ChName);
    label_ChState = new QLabel(frame_ChanSet);
    label_ChState->setObjectName(QStringLiteral("label_ChState"));
    pLayoutChoose->addWidget(label_ChState);
    pLayoutChoose->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    pLayoutFrame->addLayout(pLayoutChoose);

    tabWidget_ChanSet = new QTabWidget(frame_ChanSet);
    tabWidget_ChanSet->setObjectName(QStringLiteral("tabWidget_ChanSet"));
    tab = new CLS_WgtExportSet(tabWidget_ChanSet);
    tab->setObjectName(QStringLiteral("tab"));
    tabWidget_ChanSet->addTab(tab, QStringLiteral("输出设置"));
    tabWidget_ChanSet->setCurrentIndex(0);
    pLayoutFrame->addWidget(tabWidget_ChanSet);

    pushButton_ResetAllChs->setText(QStringLiteral("重置所有通道"));
    label_ChooseCh->setText(QStringLiteral("选择"));
    label_ChName->setText(QStringLiteral("通道名称"));
    QMetaObject::connectSlotsByName(_pPage);
}
