// Natively the messages are the POSIX layer's, which words them as Windows.
#include "../system_messages.h"

bool messages_of_wine()
{
    return false;
}
