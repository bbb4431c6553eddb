// Texts by "IDS_" key, from the outside language component when one sits beside the program,
// else from the table built into the program. One instance per process, made on first use.
#pragma once

#include "ILangInit.h"

#include <QJsonObject>
#include <QMutex>
#include <QString>

class IOrbLangComponent;

class CLS_Lang final : public ILangInit
{
public:
    // The process's instance; concurrent first calls make exactly one.
    static CLS_Lang& Instance();

    CLS_Lang(const CLS_Lang&) = delete;
    CLS_Lang& operator=(const CLS_Lang&) = delete;

    // The text for _qstrKey, empty when there is none.
    QString GetText(const QString& _qstrKey) const;

    int Fill(IOrbParam* _pWriter) override;

private:
    CLS_Lang();
    ~CLS_Lang();

    QString GetComponentText(const QString& _qstrKey) const;

    IOrbLangComponent* m_pLangComponent = nullptr;
    QJsonObject m_qjsonTable;
    mutable QMutex m_mutexTable;
};

// The text for _qstrKey from the process's language table, empty when there is none.
QString GetLangText(const QString& _qstrKey);
