#include "host/RequestNotes.h"

namespace vantrel::host {

RequestNotes& ThisRequestNotes() {
    thread_local RequestNotes notes;
    return notes;
}

}  // namespace vantrel::host
