#include "CLS_ParamSave.h"

#include "OrbApplication.h"
#include "common/Log.h"
#include "common/PublicCommonFun.h"
#include "widgets/CLS_MessageBox.h"

#include <QCoreApplication>

bool CLS_ParamSave::Open(int _iIndex, int _iChNo)
{
    m_iIndex = _iIndex;
    m_qjsonConfig = OrbApplication::Instance()->ReadConfig();
    m_qJsonArrChInfo = m_qjsonConfig.value(QStringLiteral("chInfo")).toArray();
    if (_iIndex >= 0 && _iIndex < m_qJsonArrChInfo.size()) {
        m_qjsonRecord = m_qJsonArrChInfo.at(_iIndex).toObject();
        if (m_qjsonRecord.value(QStringLiteral("chNo")).toInt(-1) == _iChNo) {
            return true;
        }
    }
    LOG_EX(LOG_TRACE, "save refused: position %d no longer holds channel %d", _iIndex, _iChNo);
    Notify(QCoreApplication::translate("CLS_ParamSave", "通道已变化，请重新选择通道"));
    return false;
}

bool CLS_ParamSave::Commit()
{
    m_qJsonArrChInfo.replace(m_iIndex, m_qjsonRecord);
    m_qjsonConfig.insert(QStringLiteral("chInfo"), m_qJsonArrChInfo);
    // The file write logs its own failure.
    if (WriteJsonFile(m_qjsonConfig, OrbApplication::Instance()->GetConfigPath())) {
        return true;
    }
    Notify(QCoreApplication::translate("CLS_ParamSave", "保存失败，配置文件无法写入"));
    return false;
}

void CLS_ParamSave::Notify(const QString& _qstrText)
{
    CLS_MessageBox::ShowMsgBox(
        CLS_MessageBox::KIND_INFORMATION, nullptr, QCoreApplication::translate("CLS_ParamSave", "提示"),
        _qstrText, {QCoreApplication::translate("CLS_ParamSave", "确定")}, 0, QStringLiteral("default"));
}
