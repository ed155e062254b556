#pragma once
#include "Application.h"

#include <QCloseEvent>
#include <exception>

// Runs one handler of a window as the application's message dispatch does: an error that
// reaches it is shown with the application's title, the handler stops and the window stays
// usable (an exception must never travel on through Qt's signal code).
template <class F>
void Dispatch(F&& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        Application->ShowException(e);
    }
}

// A request to close the window asks the form's close query first; the window closes only
// when the query lets it.
template <class Form>
void DispatchCloseQuery(Form* form, QCloseEvent* event)
{
    bool canClose = true;
    form->FormCloseQuery(form, canClose);
    if (canClose)
        event->accept();
    else
        event->ignore();
}
