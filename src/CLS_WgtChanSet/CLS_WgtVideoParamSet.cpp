#include "CLS_WgtVideoParamSet.h"

#include "CLS_ChanRecord.h"
#include "CLS_ParamSave.h"
#include "CLS_UiVideoParamSet.h"

#include "CameraBusiness.h"
#include "OrbApplication.h"
#include "common/Log.h"
#include "settings/CLS_Settings.h"
#include "widgets/CLS_ComboBox.h"
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

int CollectTypeOfText(const QString& _qstrText)
{
    if (_qstrText == QLatin1String("H264")) {
        return 2;
    }
    if (_qstrText == QLatin1String("MJPEG")) {
        return 0;
    }
    return 1;
}

QString CollectTypeText(int _iType)
{
    switch (_iType) {
    case 0:
        return QStringLiteral("MJPEG");
    case 1:
        return QStringLiteral("YUV");
    case 2:
        return QStringLiteral("H264");
    default:
        return QString();
    }
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
    if (_iCollectDevType != 0 && _iCollectDevType != 1) {
        return;
    }
    const bool blDesktop = _iCollectDevType == 0;
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
    m_iCollectDevType = _qjsonChInfo.value(QStringLiteral("collectDevType")).toInt(0);
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
    ui->comboBox_ResolutionRatio->setCurrentIndex(m_iResolutionIndex != -1 && m_iCollectDevType == 1
                                                      ? m_iResolutionIndex
                                                      : ui->comboBox_ResolutionRatio->count() - 1);

    ui->comboBox_CollectionFormat->clear();
    const int iCollectType = _qjsonChInfo.value(QStringLiteral("collectType")).toInt(0);
    const QJsonArray qJsonArrFormat = _qjsonChInfo.value(QStringLiteral("videoFormat")).toArray();
    if (qJsonArrFormat.isEmpty()) {
        ui->comboBox_CollectionFormat->addItems(
            {QStringLiteral("MJPEG"), QStringLiteral("YUV"), QStringLiteral("H264")});
        ui->comboBox_CollectionFormat->setCurrentIndex(1);
        return;
    }
    for (int i = 0; i < qJsonArrFormat.size(); ++i) {
        const int iType = qJsonArrFormat.at(i).toObject().value(QStringLiteral("type")).toInt(0);
        const QString qstrText = CollectTypeText(iType);
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
    const QSize qsizeVideo = ParseResolution(ui->comboBox_ResolutionRatio->currentText());
    const QString qstrVideo = tr("分辨率%1*%2").arg(qsizeVideo.width()).arg(qsizeVideo.height());
    if (qsizeVideo.width() <= 0 || qsizeVideo.height() <= 0) {
        LOG_EX(LOG_TRACE, "channel %d: no resolution to save", m_iChNo);
        CLS_ParamSave::Notify(tr("保存失败：%1").arg(qstrVideo));
        return;
    }
    CLS_ParamSave save;
    if (!save.Open(m_iIndex, m_iChNo)) {
        return;
    }
    const int iCollectType = CollectTypeOfText(ui->comboBox_CollectionFormat->currentText());
    const int iQuality = ui->comboBox_VideoQuality->currentIndex();
    const int iFrameRate = ui->spinBox_FrameRate->value();
    const int iBitRate = ui->spinBox_BitRate->value();
    QJsonObject& qjsonRecord = save.Record();
    qjsonRecord.insert(QStringLiteral("collectType"), iCollectType);
    qjsonRecord.insert(QLatin1String(CLS_Settings::FIELD_FRAME_RATE.pcKey), iFrameRate);
    qjsonRecord.insert(QLatin1String(CLS_Settings::FIELD_BIT_RATE.pcKey), iBitRate);
    qjsonRecord.insert(QLatin1String(CLS_Settings::FIELD_VIDEO_QUALITY.pcKey), iQuality);
    qjsonRecord.insert(QStringLiteral("collectDevName"), ui->comboBox_Equipment->currentText());
    m_iResolutionIndex = ui->comboBox_ResolutionRatio->currentIndex();
    qjsonRecord.insert(QStringLiteral("videoHeight"), qsizeVideo.height());
    qjsonRecord.insert(QStringLiteral("videoWidth"), qsizeVideo.width());
    QList<QSize> lstOffered;
    for (int i = 0; i < ui->comboBox_ResolutionRatio->count(); ++i) {
        lstOffered.append(ParseResolution(ui->comboBox_ResolutionRatio->itemText(i)));
    }
    const QSize qsizeCamera = CLS_ChanRecord::CaptureSize(qsizeVideo, lstOffered);
    if (!save.Commit()) {
        return;
    }

    // What the library refuses is reported and not kept in the stored record.
    QStringList qstrlstRefused;
    QStringList qstrlstKeys;
    auto refused = [&](const QString& _qstrWhat, const QStringList& _qstrlstKeys) {
        qstrlstRefused.append(_qstrWhat);
        qstrlstKeys.append(_qstrlstKeys);
    };
    if (camera_business_set_video_quality(m_iChNo, iQuality) == 0) {
        LOG_EX(LOG_FAIL, "!camera_business_set_video_quality(%d)", iQuality);
        refused(tr("视频质量%1").arg(iQuality), {QLatin1String(CLS_Settings::FIELD_VIDEO_QUALITY.pcKey)});
    }
    if (camera_business_set_frame_rate(m_iChNo, iFrameRate) == 0) {
        LOG_EX(LOG_FAIL, "!camera_business_set_frame_rate(%d)", iFrameRate);
        refused(tr("帧率%1").arg(iFrameRate), {QLatin1String(CLS_Settings::FIELD_FRAME_RATE.pcKey)});
    }
    if (camera_business_set_bit_rate(m_iChNo, iBitRate) == 0) {
        LOG_EX(LOG_FAIL, "!camera_business_set_bit_rate(%d)", iBitRate);
        refused(tr("码率%1").arg(iBitRate), {QLatin1String(CLS_Settings::FIELD_BIT_RATE.pcKey)});
    }
    if (camera_business_set_video_size(m_iChNo, qsizeVideo.width(), qsizeVideo.height()) == 0) {
        LOG_EX(LOG_FAIL, "!camera_business_set_video_size(Width=%d,Heigh=%d)", qsizeVideo.width(),
               qsizeVideo.height());
        refused(qstrVideo, {QStringLiteral("videoWidth"), QStringLiteral("videoHeight")});
    }
    if (camera_business_set_camera_size(m_iChNo, qsizeCamera.width(), qsizeCamera.height()) == 0) {
        LOG_EX(LOG_FAIL, "!camera_business_set_camera_size(Width=%d,Heigh=%d)", qsizeCamera.width(),
               qsizeCamera.height());
        refused(tr("采集尺寸%1*%2").arg(qsizeCamera.width()).arg(qsizeCamera.height()), {});
    }
    if (m_iCollectDevType == 1 && camera_business_set_collect_type(m_iChNo, iCollectType) == 0) {
        LOG_EX(LOG_FAIL, "!camera_business_set_collect_type(%d)", iCollectType);
        refused(tr("采集格式%1").arg(CollectTypeText(iCollectType)), {QStringLiteral("collectType")});
    }
    if (!qstrlstKeys.isEmpty()) {
        save.Restore(qstrlstKeys);
        if (!save.Commit()) {
            return;
        }
    }
    emit SigVideoParamChanged(save.Channels(), save.Index());
    CLS_ParamSave::Notify(qstrlstRefused.isEmpty() ? tr("保存成功")
                                                   : tr("保存失败：%1").arg(qstrlstRefused.join(tr("，"))));
}

void CLS_WgtVideoParamSet::on_pushButton_DesktopNumDiscern_clicked()
{
    QVector<STRUCT_Screen> vecScreen;
    OrbApplication* pApp = OrbApplication::Instance();
    pApp->GetScreenList(vecScreen);
    for (int i = 0; i < vecScreen.size(); ++i) {
        // No suffix: the image reader appends the one of the file that is there.
        const QString qstrPath = QStringLiteral("%1%2%3%4%5")
                                     .arg(pApp->GetAppDir(), QStringLiteral("LumacastFile/Resource/"),
                                          pApp->GetSkin(), QStringLiteral("/images/desktopShow"))
                                     .arg(i + 1);
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
