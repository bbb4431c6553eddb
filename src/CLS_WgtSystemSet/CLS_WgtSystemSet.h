// The system settings page of the main window: one tab holding the service settings page.
#pragma once

#include <QWidget>

class CLS_WgtServerManage;

class CLS_WgtSystemSet : public QWidget
{
    Q_OBJECT
public:
    explicit CLS_WgtSystemSet(QWidget* parent = nullptr);

    CLS_WgtServerManage* GetServerManage() const { return m_pServerManage; }

signals:
    // The service page asks for a restart.
    void SigRestart();

private:
    CLS_WgtServerManage* m_pServerManage = nullptr;
};
