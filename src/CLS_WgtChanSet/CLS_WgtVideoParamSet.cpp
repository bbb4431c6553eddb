#include "CLS_WgtVideoParamSet.h"

#include "CLS_ChannelNotice.h"
#include "CLS_UiVideoParamSet.h"
#include "channels/CLS_ChanRecord.h"

#include "OrbApplication.h"
#include "common/Log.h"
#include "common/PublicCommonFun.h"
#include "settings/CLS_Settings.h"
#include "widgets/CLS_ComboBox.h"
#include "widgets/CLS_MessageBox.h"
#include "widgets/WindowShape.h"

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const int g_iDesktopNumMs = 1500;
// "1920*1080" → 1920 x 1080; a text without "*" gives its number for both; not a number reads 0.
QSize ParseResolution(const QString& _qstrText)
{
    const int iStar = _qstrText.indexOf(QLatin1Char('*'));
    if (iStar < 0) {
        const int iValue = _qstrText.toInt();
        return {iValue, iValue};
    }
    return {_qstrText.left(iStar).toInt(), _qstrText.mid(iStar + 1).toInt()};
}

} // namespace

CLS_WgtVideoParamSet::CLS_WgtVideoParamSet(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<CLS_UiVideoParamSet>())
{
    ui->setupUi(this);
}

CLS_WgtVideoParamSet::~CLS_WgtVideoParamSet() = default;

void CLS_WgtVideoParamSet::SetCollectMode(int _iCollectDevType)
{
    if (_iCollectDevType != CAMERA_BUSINESS_DEVICE_DESKTOP &&
        _iCollectDevType != CAMERA_BUSINESS_DEVICE_CAMERA) {
        return;
    }
    const bool blDesktop = _iCollectDevType == CAMERA_BUSINESS_DEVICE_DESKTOP;
    for (QWidget* pWidget :
         std::initializer_list<QWidget*>{ui->label_Equipment, ui->comboBox_Equipment,
                                         ui->label_CollectionFormat, ui->comboBox_CollectionFormat}) {
        pWidget->setVisible(!blDesktop);
    }
    for (QWidget* pWidget : std::initializer_list<QWidget*>{ui->label_DesktopNum, ui->comboBox_DesktopNum,
                                                            ui->pushButton_DesktopNumDiscern}) {
        pWidget->setVisible(blDesktop);
    }
}

void CLS_WgtVideoParamSet::SetChannelInfo(int _iIndex, const QJsonObject& _qjsonChInfo)
{
    m_iIndex = _iIndex;
    m_iCollectDevType =
        _qjsonChInfo.value(QStringLiteral("collectDevType")).toInt(CAMERA_BUSINESS_DEVICE_DESKTOP);
    const int iChNo = _qjsonChInfo.value(QStringLiteral("chNo")).toInt(0);

    ui->comboBox_DesktopNum->clear();
    ui->comboBox_Equipment->clear();
    ui->comboBox_DesktopNum->addItem(QString::number(iChNo + 1));
    const QString qstrDevName = _qjsonChInfo.value(QStringLiteral("collectDevName")).toString();
    ui->comboBox_Equipment->addItem(qstrDevName);
    ui->comboBox_Equipment->setToolTip(qstrDevName);
    ui->comboBox_Equipment->SetCursorPosition(0);

    // A hand-edited value the library would refuse is shown as its default.
    ui->comboBox_VideoQuality->setCurrentIndex(
        CLS_Settings::ChannelValue(_qjsonChInfo, CLS_Settings::FIELD_VIDEO_QUALITY));
    ui->spinBox_FrameRate->setValue(CLS_Settings::ChannelValue(_qjsonChInfo, CLS_Settings::FIELD_FRAME_RATE));
    ui->spinBox_BitRate->setValue(CLS_Settings::ChannelValue(_qjsonChInfo, CLS_Settings::FIELD_BIT_RATE));
    m_iChNo = iChNo;

    ui->comboBox_ResolutionRatio->clear();
    m_iResolutionIndex = -1;
    const QSize qsizeVideo(_qjsonChInfo.value(QStringLiteral("videoWidth")).toInt(0),
                           _qjsonChInfo.value(QStringLiteral("videoHeight")).toInt(0));
    const QJsonArray qJsonArrResolution = _qjsonChInfo.value(QStringLiteral("resolutionRatio")).toArray();
    for (int i = 0; i < qJsonArrResolution.size(); ++i) {
        const QJsonObject qjsonSize = qJsonArrResolution.at(i).toObject();
        const QSize qsize(qjsonSize.value(QStringLiteral("width")).toInt(0),
                          qjsonSize.value(QStringLiteral("height")).toInt(0));
        ui->comboBox_ResolutionRatio->insertItem(i, QString::number(qsize.width()) + QLatin1Char('*') +
                                                        QString::number(qsize.height()));
        if (qsize == qsizeVideo) {
            m_iResolutionIndex = i;
        }
    }
    ui->comboBox_ResolutionRatio->setCurrentIndex(m_iResolutionIndex != -1 &&
                                                          m_iCollectDevType == CAMERA_BUSINESS_DEVICE_CAMERA
                                                      ? m_iResolutionIndex
                                                      : ui->comboBox_ResolutionRatio->count() - 1);

    ui->comboBox_CollectionFormat->clear();
    const int iCollectType =
        _qjsonChInfo.value(QStringLiteral("collectType")).toInt(CAMERA_BUSINESS_COLLECT_MJPEG);
    const QJsonArray qJsonArrFormat = _qjsonChInfo.value(QStringLiteral("videoFormat")).toArray();
    if (qJsonArrFormat.isEmpty()) {
        for (int iType :
             {CAMERA_BUSINESS_COLLECT_MJPEG, CAMERA_BUSINESS_COLLECT_YUV, CAMERA_BUSINESS_COLLECT_H264}) {
            ui->comboBox_CollectionFormat->addItem(CLS_ChanRecord::CollectTypeName(iType));
        }
        ui->comboBox_CollectionFormat->setCurrentIndex(CAMERA_BUSINESS_COLLECT_YUV);
        return;
    }
    for (int i = 0; i < qJsonArrFormat.size(); ++i) {
        const int iType = qJsonArrFormat.at(i).toObject().value(QStringLiteral("type")).toInt(0);
        const QString qstrText = CLS_ChanRecord::CollectTypeName(iType);
        if (qstrText.isEmpty()) {
            continue;
        }
        ui->comboBox_CollectionFormat->insertItem(i, qstrText);
        if (iType == iCollectType) {
            ui->comboBox_CollectionFormat->setCurrentIndex(ui->comboBox_CollectionFormat->findText(qstrText));
        }
    }
}

void CLS_WgtVideoParamSet::on_pushButton_SaveParam_clicked()
{
    if (m_pTable == nullptr) {
        LOG_EX(LOG_TRACE, "video page of channel %d: no channel table to save into", m_iChNo);
        return;
    }
    STRUCT_VideoChoice structChoice;
    structChoice.iCollectType =
        CLS_ChanRecord::CollectTypeOfName(ui->comboBox_CollectionFormat->currentText());
    structChoice.iQuality = ui->comboBox_VideoQuality->currentIndex();
    structChoice.iFrameRate = ui->spinBox_FrameRate->value();
    structChoice.iBitRate = ui->spinBox_BitRate->value();
    structChoice.qsizeVideo = ParseResolution(ui->comboBox_ResolutionRatio->currentText());
    for (int i = 0; i < ui->comboBox_ResolutionRatio->count(); ++i) {
        structChoice.lstOffered.append(ParseResolution(ui->comboBox_ResolutionRatio->itemText(i)));
    }
    structChoice.qstrDevName = ui->comboBox_Equipment->currentText();
    STRUCT_ChannelAnswer structAnswer = m_pTable->SaveVideo(m_iIndex, m_iChNo, structChoice);
    if (structAnswer.Written()) {
        m_iResolutionIndex = ui->comboBox_ResolutionRatio->currentIndex();
        emit SigVideoParamChanged(structAnswer.qJsonArrChInfo, m_iIndex);
    }
    CLS_MessageBox::Notice(CLS_ChannelNotice::SaveText(structAnswer));
}

void CLS_WgtVideoParamSet::on_pushButton_DesktopNumDiscern_clicked()
{
    QVector<STRUCT_Screen> vecScreen;
    OrbApplication* pApp = OrbApplication::Instance();
    pApp->GetScreenList(vecScreen);
    for (int i = 0; i < vecScreen.size(); ++i) {
        // No suffix: the image reader appends the one of the file that is there.
        const QString qstrPath =
            ResourcePath(pApp->GetSkin() + QStringLiteral("/images/desktopShow") + QString::number(i + 1));
        const QPixmap qpixmap(qstrPath);
        auto pWindow = std::make_unique<QWidget>(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
        pWindow->setAttribute(Qt::WA_TranslucentBackground);
        auto* pLayout = new QVBoxLayout(pWindow.get());
        pLayout->setContentsMargins(0, 0, 0, 0);
        pLayout->setSpacing(0);
        auto* pLabel = new QLabel(pWindow.get());
        pLabel->setPixmap(qpixmap);
        pLayout->addWidget(pLabel);
        const QRect& qrectScreen = vecScreen.at(i).rect;
        pWindow->setGeometry(qrectScreen.left() + (qrectScreen.width() - qpixmap.width()) / 2,
                             qrectScreen.top() + (qrectScreen.height() - qpixmap.height()) / 2,
                             qpixmap.width(), qpixmap.height());
        pLayout->activate();
        ShapeWhereNotComposited(pWindow.get());
        pWindow->show();
        m_vecDesktopNum.push_back(std::move(pWindow));
    }
    if (m_pTimerHide == nullptr) {
        m_pTimerHide = new QTimer(this);
        connect(m_pTimerHide, &QTimer::timeout, this, &CLS_WgtVideoParamSet::SlotHideDesktopNum);
    }
    m_pTimerHide->start(g_iDesktopNumMs);
}

void CLS_WgtVideoParamSet::SlotHideDesktopNum()
{
    m_vecDesktopNum.clear();
    m_pTimerHide->stop();
}

void CLS_WgtVideoParamSet::on_pushButton_ResetCurCh_clicked()
{
    emit SigResetCurCh();
}
