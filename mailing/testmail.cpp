#include "mailing/testmail.h"

#include "core/apperror.h"
#include "mailing/deliverygate.h"
#include "mailing/mailcomposer.h"
#include "mailing/maildelivery.h"

DeliveryResult TestMail::send(MailDelivery& delivery, DeliveryGate& gate,
                              const std::function<void(const DeliveryResult&)>& shown) const {
    // The window goes on handling events while a message is in flight, so a button could try to start
    // another delivery meanwhile; it is refused before anything of the one in flight is touched.
    if (gate.delivering()) throw AppError(busyText);
    MailRequest mail = request;
    mail.setAccount(account);
    mail.language = language;
    const PreparedMail prepared = prepareMail(mail);
    const DeliveryGate::Pass pass(gate, DeliveryGate::Work::Delivery);
    const DeliveryResult result = delivery.send(prepared, accessToken);
    if (shown) shown(result);
    return result;
}
