#pragma once

#include "history/view/history_feature.h"
#include "history/view/history_panel.h"
#include "startup/subsystems.h"

// The history's side of the main window's seams. Each wraps the seam object of the other parts
// (or none) and answers only what belongs to the history, passing everything else on.
namespace history {

class HistoryListViews final : public startup::ListViews {
public:
    explicit HistoryListViews(HistoryFeature &feature, startup::ListViews *others = nullptr)
        : m_feature(feature), m_others(others ? others : &m_none) {}

    void f_historial() override { m_feature.f_historial(); }
    void f_actualizar_pendientes(const QString &login, const QString &pass) override
    {
        m_feature.f_actualizar_pendientes(login, pass);
    }
    void f_agenda(bool reload) override { m_others->f_agenda(reload); }
    void f_grupos() override { m_others->f_grupos(); }
    void f_plantillas() override { m_others->f_plantillas(); }
    bool agendaVacia() const override { return m_others->agendaVacia(); }
    bool plantillasVacias() const override { return m_others->plantillasVacias(); }

private:
    HistoryFeature &m_feature;
    startup::ListViews m_none;
    startup::ListViews *m_others;
};

class HistoryPanels final : public startup::Panels {
public:
    explicit HistoryPanels(HistoryFeature &feature, startup::Panels *others = nullptr)
        : m_feature(feature), m_others(others ? others : &m_none) {}

    QWidget *historyPanel() override { return m_feature.panel(); }
    QWidget *contactsPanel() override { return m_others->contactsPanel(); }
    QWidget *groupsPanel() override { return m_others->groupsPanel(); }
    QWidget *templatesPanel() override { return m_others->templatesPanel(); }
    void bindMostrarNombres(QAction *item) override { m_feature.bindMostrarNombres(item); }

private:
    HistoryFeature &m_feature;
    startup::Panels m_none;
    startup::Panels *m_others;
};

} // namespace history
