#pragma once

#include <com/sun/star/task/XInteractionAbort.hpp>
#include <com/sun/star/task/XInteractionHandler.hpp>
#include <com/sun/star/task/XInteractionRequest.hpp>
#include <cppuhelper/implbase1.hxx>

namespace automation {

// Answers every question of the office (password, repair, locked file,
// filter choice) by aborting, so that nothing can wait for a person.
class RefusingInteractionHandler : public cppu::WeakImplHelper1<css::task::XInteractionHandler>
{
public:
    void SAL_CALL
    handle(const css::uno::Reference<css::task::XInteractionRequest> &request) override
    {
        const auto continuations = request->getContinuations();
        for (const auto &continuation : continuations) {
            css::uno::Reference<css::task::XInteractionAbort> abort(continuation,
                                                                    css::uno::UNO_QUERY);
            if (abort.is()) {
                abort->select();
                return;
            }
        }
    }
};

} // namespace automation
