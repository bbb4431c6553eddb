// One save of a parameter page: takes the channel record from the stored table, and writes the
// table back with the changed record in place.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

class CLS_ParamSave
{
public:
    // Takes the record at _iIndex, but only while that position still holds channel _iChNo: the
    // table may have changed under the page since it was shown. Otherwise tells the user, logs
    // one line and returns false; nothing is to be saved then.
    bool Open(int _iIndex, int _iChNo);
    QJsonObject& Record() { return m_qjsonRecord; }
    // Gives the keys back the values they had when the record was taken.
    void Restore(const QStringList& _qstrlstKeys);
    // Puts the record back and writes the settings file. False, after telling the user, when the
    // file cannot be written.
    bool Commit();
    // The whole table with the changed record in place.
    QJsonArray& Channels() { return m_qJsonArrChInfo; }
    int Index() const { return m_iIndex; }

    // The program's notice: title "提示", one button "确定".
    static void Notify(const QString& _qstrText);

private:
    bool HoldsChannel(const QJsonArray& _qJsonArrChInfo) const;

    int m_iIndex = -1;
    int m_iChNo = -1;
    QJsonObject m_qjsonTaken;
    QJsonArray m_qJsonArrChInfo;
    QJsonObject m_qjsonRecord;
};
