.pragma library

// The one password minimum of the dialogs; the service enforces the same.
var minPasswordLength = 8

// The address check of the login, register and forgot-password dialogs, on the text as typed.
function isValidEmail(email) {
    return /^[a-zA-Z0-9._%+-]+@[a-zA-Z0-9.-]+\.[a-zA-Z]{2,}$/.test(email)
}

// Whether a failure is the service being unreachable, busy or limiting attempts (no reply,
// 429, 5xx): then its own message says more than the dialog's fixed text.
function isServiceProblem(code) {
    return code === 0 || code === 429 || code >= 500
}
