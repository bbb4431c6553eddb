#include "CLS_ParamSave.h"

#include "OrbApplication.h"
#include "common/Log.h"
#include "widgets/CLS_MessageBox.h"

#include <QCoreApplication>

bool CLS_ParamSave::Open(int _iIndex, int _iChNo)
{
    m_iIndex = _iIndex;
    m_iChNo = _iChNo;
    m_qJsonArrChInfo = CLS_Settings::Channels(OrbApplication::Instance()->ReadConfig());
    if (HoldsChannel(m_qJsonArrChInfo)) {
        m_qjsonRecord = m_qJsonArrChInfo.at(_iIndex).toObject();
        m_qjsonTaken = m_qjsonRecord;
        return true;
    }
    LOG_EX(LOG_TRACE, "save refused: position %d no longer holds channel %d", _iIndex, _iChNo);
    Notify(QCoreApplication::translate("CLS_ParamSave", "通道已变化，请重新选择通道"));
    return false;
}

bool CLS_ParamSave::Commit()
{
    const bool blWritten = OrbApplication::Instance()->Settings().Change([this](QJsonObject& _qjsonConfig) {
        QJsonArray qJsonArrChInfo = CLS_Settings::Channels(_qjsonConfig);
        if (!HoldsChannel(qJsonArrChInfo)) {
            return false;
        }
        qJsonArrChInfo.replace(m_iIndex, m_qjsonRecord);
        _qjsonConfig.insert(QLatin1String(CLS_Settings::KEY_CH_INFO), qJsonArrChInfo);
        m_qJsonArrChInfo = qJsonArrChInfo;
        return true;
    });
    if (blWritten) {
        return true;
    }
    Notify(QCoreApplication::translate("CLS_ParamSave", "保存失败，配置文件无法写入"));
    return false;
}

void CLS_ParamSave::Restore(const QStringList& _qstrlstKeys)
{
    for (const QString& qstrKey : _qstrlstKeys) {
        if (m_qjsonTaken.contains(qstrKey)) {
            m_qjsonRecord.insert(qstrKey, m_qjsonTaken.value(qstrKey));
        } else {
            m_qjsonRecord.remove(qstrKey);
        }
    }
}

bool CLS_ParamSave::HoldsChannel(const QJsonArray& _qJsonArrChInfo) const
{
    return m_iIndex >= 0 && m_iIndex < _qJsonArrChInfo.size() &&
           _qJsonArrChInfo.at(m_iIndex).toObject().value(QStringLiteral("chNo")).toInt(-1) == m_iChNo;
}

void CLS_ParamSave::Notify(const QString& _qstrText)
{
    CLS_MessageBox::ShowMsgBox(
        CLS_MessageBox::KIND_INFORMATION, nullptr, QCoreApplication::translate("CLS_ParamSave", "提示"),
        _qstrText, {QCoreApplication::translate("CLS_ParamSave", "确定")}, 0, QStringLiteral("default"));
}
