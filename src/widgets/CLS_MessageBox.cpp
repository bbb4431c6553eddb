#include "CLS_MessageBox.h"

#include "WindowShape.h"
#include "common/PublicCommonFun.h"

#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {

const char* const g_apcKindNames[] = {"Information", "Question", "Warning", "Critical", "Alarm"};
const char* const g_pcUserDataMarker = "<usrdata>";
const char* const g_pcLinkName = "MsgLinkText";
const int g_iDefaultButtonWidth = 80;
const int g_iDefaultScale = 37;

QString& SkinName()
{
    static QString s_qstrSkin;
    return s_qstrSkin;
}

QString AppFolder()
{
    return QCoreApplication::applicationDirPath();
}

// A percentage of the screen; anything outside 1..100 would give a box of no or excessive size.
int BoundScale(int _iScale)
{
    return qBound(1, _iScale, 100);
}

} // namespace

CLS_MessageBox::CLS_MessageBox(QWidget* parent, const QString& _qstrTitle, const QString& _qstrText,
                               int _iSeconds, const QString& _qstrStyle)
    : QDialog(parent), m_qstrStyle(_qstrStyle)
{
    const bool blDefault = _qstrStyle == QLatin1String("default");
    setWindowFlags(blDefault ? Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                             : Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(_qstrTitle);

    auto* pFrameMsg = new QFrame(this);
    pFrameMsg->setObjectName(QStringLiteral("frame_Msg"));
    auto* pLayoutBox = new QVBoxLayout(this);
    pLayoutBox->setContentsMargins(0, 0, 0, 0);
    pLayoutBox->setSpacing(0);
    pLayoutBox->addWidget(pFrameMsg);

    QWidget* pTitleFrame = BuildTitleFrame(_qstrTitle);
    m_pLabelIcon = new QLabel(this);
    m_pLabelText = new QLabel(this);
    m_pLabelText->setObjectName(QStringLiteral("label_Show"));
    m_pLayoutButtons = new QHBoxLayout;
    if (blDefault) {
        BuildDefaultLook(pFrameMsg, pTitleFrame, _qstrText, _iSeconds);
    } else {
        BuildCustomLook(pFrameMsg, pTitleFrame, _qstrText, _iSeconds);
    }
}

void CLS_MessageBox::Notice(const QString& _qstrText)
{
    ShowMsgBox(KIND_INFORMATION, nullptr, tr("提示"), _qstrText, {tr("确定")}, 0, QStringLiteral("default"));
}

bool CLS_MessageBox::Confirm(const QString& _qstrText)
{
    return ShowMsgBox(KIND_INFORMATION, nullptr, tr("提示"), _qstrText, {tr("确定"), tr("取消")}, 0,
                      QStringLiteral("default")) == 0;
}

int CLS_MessageBox::ShowMsgBox(int _iKind, QWidget* parent, const QString& _qstrTitle,
                               const QString& _qstrText, const QStringList& _qstrlstButtons, int _iSeconds,
                               const QString& _qstrStyle)
{
    CLS_MessageBox msgBox(parent, _qstrTitle, _qstrText, _iSeconds, _qstrStyle);
    msgBox.setBtnList(_qstrlstButtons, {});
    msgBox.SetIcon(_iKind);
    // Above every other window, and in front within that band once it is shown.
    msgBox.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    QTimer::singleShot(0, &msgBox, [&msgBox]() {
        msgBox.raise();
        msgBox.activateWindow();
    });
    msgBox.exec();
    return msgBox.m_iResult;
}

void CLS_MessageBox::SetSkin(const QString& _qstrSkin)
{
    SkinName() = _qstrSkin;
}

QString CLS_MessageBox::GetSkin()
{
    return SkinName();
}

void CLS_MessageBox::LoadStyleSheet(const QString& _qstrFileName)
{
    const QString qstrSkin = SkinName();
    const QString qstrFolder = qstrSkin.isEmpty()
                                   ? QStringLiteral("/MessageBox/")
                                   : QString(QStringLiteral("/MessageBox_ZF/") + qstrSkin + '/');
    const QString qstrPath = AppFolder() + qstrFolder + _qstrFileName;
    QFile qfileStyle(qstrPath);
    if (qfileStyle.open(QIODevice::ReadOnly)) {
        setStyleSheet(QString::fromUtf8(qfileStyle.readAll()));
    }
}

QWidget* CLS_MessageBox::BuildTitleFrame(const QString& _qstrTitle)
{
    auto* pTitleFrame = new QFrame(this);
    pTitleFrame->setObjectName(QStringLiteral("frame_Title"));
    m_pLabelTitle = new QLabel(_qstrTitle, pTitleFrame);
    m_pLabelTitle->setObjectName(QStringLiteral("label_Title"));
    m_pLabelTitle->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_pBtnClose = new QToolButton(pTitleFrame);
    m_pBtnClose->setObjectName(QStringLiteral("pushButton_Close"));
    m_pBtnClose->setFocusPolicy(Qt::NoFocus);
    auto* pLayoutTitle = new QHBoxLayout(pTitleFrame);
    pLayoutTitle->setContentsMargins(0, 0, 0, 0);
    pLayoutTitle->setSpacing(0);
    pLayoutTitle->addWidget(m_pLabelTitle, 1);
    pLayoutTitle->addWidget(m_pBtnClose, 0);
    connect(m_pBtnClose, &QToolButton::clicked, this, &QWidget::close);
    return pTitleFrame;
}

void CLS_MessageBox::BuildDefaultLook(QFrame* _pFrameMsg, QWidget* _pTitleFrame, const QString& _qstrText,
                                      int _iSeconds)
{
    LoadStyleSheet(QStringLiteral("MessageBox.qss"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);

    const int iMarker = _qstrText.indexOf(QLatin1String(g_pcUserDataMarker));
    const QString qstrShown = iMarker < 0 ? _qstrText : _qstrText.left(iMarker);
    const QString qstrUserData =
        iMarker < 0 ? QString() : _qstrText.mid(iMarker + static_cast<int>(qstrlen(g_pcUserDataMarker)));

    m_pLabelIcon->setFixedSize(45, 45);
    m_pLabelIcon->hide();
    m_pLabelText->setTextFormat(Qt::PlainText);
    m_pLabelText->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    m_pLabelText->setAlignment(Qt::AlignCenter);
    m_pLabelText->setWordWrap(true);
    m_pLabelText->setText(qstrShown);

    auto* pLayoutContent = new QHBoxLayout;
    pLayoutContent->setContentsMargins(30, 0, 30, 0);
    pLayoutContent->setSpacing(10);
    pLayoutContent->addWidget(m_pLabelIcon, 0);
    pLayoutContent->addWidget(m_pLabelText, 1);

    QLayout* pLayoutLinks = nullptr;
    const QJsonObject qjsonUserData = ParseJson(qstrUserData);
    if (!qjsonUserData.isEmpty()) {
        pLayoutLinks = BuildLinkRow(qjsonUserData.value(QStringLiteral("linkText")).toObject());
        const QJsonValue qjsonWidth = qjsonUserData.value(QStringLiteral("PushbtnWidth"));
        if (qjsonWidth.isDouble()) {
            m_iBtnWidth = qjsonWidth.toInt();
        }
    }
    m_pLayoutButtons->setSpacing(6);

    auto* pLayoutMsg = new QVBoxLayout(_pFrameMsg);
    pLayoutMsg->setContentsMargins(0, 0, 0, 0);
    pLayoutMsg->addWidget(_pTitleFrame);
    pLayoutMsg->addSpacerItem(new QSpacerItem(20, 45, QSizePolicy::Fixed, QSizePolicy::Fixed));
    pLayoutMsg->addLayout(pLayoutContent);
    if (pLayoutLinks) {
        pLayoutMsg->addLayout(pLayoutLinks);
    }
    pLayoutMsg->addSpacerItem(new QSpacerItem(20, 20, QSizePolicy::Fixed, QSizePolicy::Fixed));
    pLayoutMsg->addLayout(m_pLayoutButtons);

    if (_iSeconds >= 1) {
        // Seconds beyond what a timer can hold wait as long as one can.
        const qint64 llMsec = std::min<qint64>(qint64(_iSeconds) * 1000, std::numeric_limits<int>::max());
        m_iTimerId = startTimer(static_cast<int>(llMsec), Qt::CoarseTimer);
    }
}

QLayout* CLS_MessageBox::BuildLinkRow(const QJsonObject& _qjsonLinks)
{
    if (_qjsonLinks.isEmpty()) {
        return nullptr;
    }
    auto* pLayoutRow = new QHBoxLayout;
    pLayoutRow->setContentsMargins(_qjsonLinks.size() > 1 ? 85 : 0, 0, 0, 0);
    auto* pGrid = new QGridLayout;
    pLayoutRow->addLayout(pGrid);
    const Qt::Alignment alignment =
        _qjsonLinks.size() > 1 ? Qt::AlignLeft | Qt::AlignBottom : Qt::AlignHCenter | Qt::AlignBottom;
    int iIndex = 0;
    for (auto it = _qjsonLinks.constBegin(); it != _qjsonLinks.constEnd(); ++it, ++iIndex) {
        auto* pButton = new QPushButton(it.key(), this);
        pButton->setObjectName(QLatin1String(g_pcLinkName));
        pButton->setFocusPolicy(Qt::NoFocus);
        pButton->setCursor(Qt::PointingHandCursor);
        pGrid->addWidget(pButton, iIndex / 2, iIndex % 2, alignment);
        m_mapLinkValue.insert(it.key(), it.value().toInt());
        if (!connect(pButton, &QPushButton::clicked, this, &CLS_MessageBox::OnButtonClick)) {
            qDebug() << "CLS_MessageBox::CLS_MessageBox connect failed!";
        }
    }
    return pLayoutRow;
}

void CLS_MessageBox::BuildCustomLook(QFrame* _pFrameMsg, QWidget* _pTitleFrame, const QString& _qstrText,
                                     int _iSeconds)
{
    const QJsonObject qjsonDesc = ParseJson(_qstrText);
    const int iWidthScale = BoundScale(qjsonDesc.value(QStringLiteral("width")).toInt(g_iDefaultScale));
    const int iHeightScale = BoundScale(qjsonDesc.value(QStringLiteral("height")).toInt(g_iDefaultScale));
    qDebug() << "iWidthScale===" << iWidthScale;
    qDebug() << "iHeightScale===" << iHeightScale;
    const int iIconPos = qjsonDesc.value(QStringLiteral("iconPos")).toInt(0);
    const QJsonObject qjsonContent = qjsonDesc.value(QStringLiteral("content")).toObject();
    m_vecRowOne = ReadRow(qjsonContent.value(QStringLiteral("one")).toArray(), _iSeconds);
    m_vecRowTwo = ReadRow(qjsonContent.value(QStringLiteral("two")).toArray(), _iSeconds);

    LoadStyleSheet(QStringLiteral("MessageBox_custome.qss"));

    m_pLabelIcon->setObjectName(QStringLiteral("label_Pic"));
    QFont qfontText = m_pLabelText->font();
    qfontText.setPointSize(10);
    qfontText.setWeight(QFont::Bold);
    m_pLabelText->setFont(qfontText);
    m_pLabelText->setTextFormat(Qt::AutoText);
    m_pLabelText->setText(RenderRows());

    QLayout* pLayoutContent = nullptr;
    if (iIconPos == 1) {
        m_pLabelText->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        m_pLabelIcon->setFixedSize(45, 45);
        auto* pLayoutRow = new QHBoxLayout;
        pLayoutRow->setContentsMargins(0, 0, 0, 0);
        pLayoutRow->setSpacing(20);
        pLayoutRow->addStretch();
        pLayoutRow->addWidget(m_pLabelIcon);
        pLayoutRow->addWidget(m_pLabelText);
        pLayoutRow->addStretch();
        pLayoutContent = pLayoutRow;
    } else {
        m_pLabelText->setAlignment(Qt::AlignCenter);
        m_pLabelIcon->setFixedSize(80, 80);
        auto* pLayoutIcon = new QHBoxLayout;
        pLayoutIcon->setSpacing(0);
        pLayoutIcon->addStretch();
        pLayoutIcon->addWidget(m_pLabelIcon);
        pLayoutIcon->addStretch();
        auto* pLayoutColumn = new QVBoxLayout;
        pLayoutColumn->setContentsMargins(0, 0, 0, 0);
        pLayoutColumn->setSpacing(20);
        pLayoutColumn->addLayout(pLayoutIcon);
        pLayoutColumn->addWidget(m_pLabelText);
        pLayoutContent = pLayoutColumn;
    }

    const QScreen* pScreen = QGuiApplication::primaryScreen();
    const QRect qrectAvailable = pScreen ? pScreen->availableGeometry() : QRect();
    _pFrameMsg->setFixedSize(qrectAvailable.width() * iWidthScale / 100,
                             qrectAvailable.height() * iHeightScale / 100);
    auto* pLayoutMsg = new QVBoxLayout(_pFrameMsg);
    pLayoutMsg->setContentsMargins(0, 0, 0, 0);
    pLayoutMsg->setSpacing(20);
    pLayoutMsg->addWidget(_pTitleFrame);
    pLayoutMsg->addLayout(pLayoutContent);
    pLayoutMsg->addLayout(m_pLayoutButtons);

    if (_iSeconds > 0) {
        m_iSecondsLeft = _iSeconds;
        m_iTimerId = startTimer(1000, Qt::CoarseTimer);
    }
}

QVector<CLS_MessageBox::STRUCT_RowItem> CLS_MessageBox::ReadRow(const QJsonArray& _qjsonArrRow, int _iSeconds)
{
    QVector<STRUCT_RowItem> vecRow;
    for (const QJsonValue& qjsonValue : _qjsonArrRow) {
        const QJsonObject qjsonItem = qjsonValue.toObject();
        STRUCT_RowItem structItem;
        structItem.iFontSize = qjsonItem.value(QStringLiteral("fontSize")).toInt(20);
        structItem.qstrFontColor =
            qjsonItem.value(QStringLiteral("fontColor")).toString(QStringLiteral("#FFFFFF"));
        structItem.qstrText = qjsonItem.value(QStringLiteral("text")).toString(tr("异常报警"));
        if (qjsonItem.value(QStringLiteral("blCountdown")).toInt() == 1) {
            structItem.blCountdown = true;
            structItem.qstrText = QString::number(_iSeconds);
            m_blCountdownShown = true;
        }
        qDebug() << "structContent.m_qstrText===" << structItem.qstrText;
        vecRow.append(structItem);
    }
    return vecRow;
}

QString CLS_MessageBox::RenderRows() const
{
    const auto renderRow = [](const QVector<STRUCT_RowItem>& _vecRow) {
        QString qstrRow;
        for (const STRUCT_RowItem& structItem : _vecRow) {
            QString qstrAttributes;
            if (structItem.qstrFontColor != QLatin1String("default")) {
                qstrAttributes += QStringLiteral(" color = ") + structItem.qstrFontColor;
            }
            if (structItem.iFontSize > 0) {
                qstrAttributes += QStringLiteral(" size = ") + QString::number(structItem.iFontSize);
            }
            qstrRow += qstrAttributes.isEmpty()
                           ? structItem.qstrText
                           : QStringLiteral("<font") + qstrAttributes + QStringLiteral(">") +
                                 structItem.qstrText + QStringLiteral("</font>");
        }
        return qstrRow;
    };
    const QString qstrRowTwo = renderRow(m_vecRowTwo);
    return qstrRowTwo.isEmpty() ? renderRow(m_vecRowOne)
                                : renderRow(m_vecRowOne) + QStringLiteral("<br>") + qstrRowTwo;
}

void CLS_MessageBox::setBtnList(const QStringList& _qstrlstTexts, const QList<int>& _lstMainIndexes)
{
    if (_qstrlstTexts.isEmpty() || _qstrlstTexts.first().isEmpty()) {
        return;
    }
    auto* pGrid = new QGridLayout;
    pGrid->setSpacing(10);
    const bool blDefault = m_qstrStyle == QLatin1String("default");
    const int iWidth = m_iBtnWidth < 1 ? g_iDefaultButtonWidth : m_iBtnWidth;
    for (int i = 0; i < _qstrlstTexts.size(); ++i) {
        auto* pButton = new QPushButton(_qstrlstTexts.at(i), this);
        const bool blMain = _lstMainIndexes.contains(i) || (blDefault && i == 0);
        pButton->setObjectName(blMain ? QStringLiteral("pushButton_main") : QString::number(i));
        pButton->setProperty("btnIndex", i);
        pButton->setMinimumSize(iWidth, 30);
        pButton->setFocusPolicy(Qt::NoFocus);
        pGrid->addWidget(pButton, i / 4, i % 4, Qt::AlignHCenter | Qt::AlignBottom);
        if (!connect(pButton, &QPushButton::clicked, this, &CLS_MessageBox::OnButtonClick,
                     Qt::DirectConnection)) {
            qDebug() << "setBtnList !blRet";
        }
    }
    m_pLayoutButtons->addStretch();
    m_pLayoutButtons->addLayout(pGrid);
    m_pLayoutButtons->addStretch();
}

void CLS_MessageBox::SetIcon(int _iKind)
{
    if (_iKind < KIND_INFORMATION || _iKind > KIND_ALARM) {
        m_pLabelIcon->setStyleSheet(QString());
        return;
    }
    m_pLabelIcon->setStyleSheet(QStringLiteral("QLabel {background: transparent; border-image: url(") +
                                AppFolder() + QStringLiteral("/MessageBox/") +
                                QLatin1String(g_apcKindNames[_iKind]) + QStringLiteral(".png);}"));
}

void CLS_MessageBox::OnButtonClick()
{
    if (m_iTimerId != 0) {
        killTimer(m_iTimerId);
        m_iTimerId = 0;
    }
    const QPushButton* pButton = qobject_cast<const QPushButton*>(sender());
    if (!pButton) {
        return;
    }
    if (pButton->objectName() == QLatin1String(g_pcLinkName)) {
        m_iResult = m_mapLinkValue.value(pButton->text(), m_iResult);
    } else {
        m_iResult = pButton->property("btnIndex").toInt();
    }
    close();
}

void CLS_MessageBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        return;
    }
    QDialog::keyPressEvent(event);
}

void CLS_MessageBox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_qpointDrag = event->pos();
        m_blDragging = true;
    }
    QDialog::mousePressEvent(event);
}

void CLS_MessageBox::mouseMoveEvent(QMouseEvent* event)
{
    if (m_blDragging) {
        move(event->globalPos() - m_qpointDrag);
    }
    QDialog::mouseMoveEvent(event);
}

void CLS_MessageBox::mouseReleaseEvent(QMouseEvent* event)
{
    m_blDragging = false;
    QDialog::mouseReleaseEvent(event);
}

void CLS_MessageBox::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_iTimerId || m_iTimerId == 0) {
        QDialog::timerEvent(event);
        return;
    }
    --m_iSecondsLeft;
    if (m_blCountdownShown) {
        for (QVector<STRUCT_RowItem>* pVecRow : {&m_vecRowOne, &m_vecRowTwo}) {
            for (STRUCT_RowItem& structItem : *pVecRow) {
                if (structItem.blCountdown) {
                    structItem.qstrText = QString::number(m_iSecondsLeft);
                }
            }
        }
        m_pLabelText->setText(RenderRows());
    }
    if (m_iSecondsLeft <= 0) {
        m_iResult = RESULT_TIMED_OUT;
        killTimer(m_iTimerId);
        m_iTimerId = 0;
        close();
    }
}

void CLS_MessageBox::showEvent(QShowEvent* event)
{
    // Laid out and sized by now, and not yet on the screen.
    ShapeWhereNotComposited(this);
    QDialog::showEvent(event);
}
