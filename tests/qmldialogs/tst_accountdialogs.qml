import QtQuick
import QtTest
import Parvix

// The account dialogs' refusals, failures and alerts (registration and login by mouse: the journeys).
DialogTestCase {
    id: testCase
    name: "AccountDialogs"

    SignalSpy {
        id: loginRequests
        target: Authentication
        signalName: "loginFinished"
    }

    readonly property string erin: "erin@example.org"

    function initTestCase() {
        if (!helper.accountServiceAvailable)
            skip("the build has no reference account service")
        verify(helper.startAccountService() !== "", "the account service starts")
    }

    // Logged out for the other tests even after a failure (the service stops in the last test).
    function cleanupTestCase() {
        UserSession.clearSession()
    }

    // Logs in with the dialog; the alert's message when `title` is given.
    function login(dialog, email, password, title, message) {
        typed(dialog, { emailField: email, passwordField: password }, "loginButton")
        return title ? alerted(dialog, "loginAlert", title, message) : ""
    }

    function test_1_registerLoginAndProfile() {
        const register = openDialog(make("MemberRegisterDialog"))
        typed(register, { emailField: "erin@example" }, "registerButton")
        alerted(register, "registerAlert", "Invalid Email", "Please enter a valid email address.")
        typed(register, { emailField: erin }, "registerButton")
        alerted(register, "registerAlert", "Registration Successful", "Please check your email for the default password.")
        const password = helper.mailedPassword(erin)
        const dialog = openDialog(make("MemberLoginDialog"))
        verify(!find(dialog, "loginButton").enabled)
        login(dialog, " " + erin, password, "Invalid Email", "Please enter a valid email address.")
        login(dialog, erin, "1234567", "Invalid Password", "Please enter a password with at least 8 characters.")
        compare(loginRequests.count, 0, "the address as typed and a short password are refused before any request")
        // A wrong password gets the dialog's own text, not the service's.
        login(dialog, erin, "wrong password", "Login Failed", "Please check your email and password.")
        verify(!UserSession.isLoggedIn)
        login(dialog, erin, password)
        tryVerify(() => UserSession.isLoggedIn && !dialog.visible, 10000, "logged in, the dialog closes")

        const profile = openDialog(make("UserProfileDialog"))
        compare([find(profile, "emailText").text, find(profile, "verifiedText").text], [erin, "Yes"])
        const box = openedBy(profile, "changePasswordButton", "changePasswordBox")
        const error = find(box, "errorLine")
        const change = (oldText, newText, confirmText) => typed(box, { oldPasswordField: oldText,
                                     newPasswordField: newText, confirmPasswordField: confirmText }, "confirmButton")
        for (const [oldText, newText, confirmText, message] of [
                 ["", "", "", "Please enter old password"], [password, "", "", "Please enter new password"],
                 [password, "1234567", "1234567", "Password must be at least 8 characters"],
                 [password, "12345678", "12345679", "Passwords do not match"]]) {
            change(oldText, newText, confirmText)
            compare(error.text, message)
        }
        typeText(find(box, "confirmPasswordField"), "12345678")
        compare(box.problem(), "", "eight characters are enough")
        change("not the password", "second secret", "second secret")
        tryVerify(() => error.text !== "", 10000, "the service's reason in the error line")
        verify(error.text !== "Passwords do not match", error.text)
        change(password, "second secret", "second secret")
        tryVerify(() => !box.visible && !profile.visible)
        verify(!UserSession.isLoggedIn)
        alerted(profile, "passwordChangedAlert", "Success", "Password changed successfully, please login again.")
        openDialog(dialog)
        login(dialog, erin, "second secret")
        tryVerify(() => UserSession.isLoggedIn, 10000, "the new password works")
        openDialog(profile)
        typed(profile, {}, "logoutButton", true)
        openDialog(profile)
        compare(find(profile, "emailText").text, "Not logged in")
    }

    // The reset link and back (register link: the journeys); other failures show why (texts: the client's tests).
    function test_2_forgotPasswordAndUnreachableService() {
        const dialog = openDialog(make("MemberLoginDialog"))
        const forgot = openedBy(dialog, "forgotPasswordLink", "forgotPasswordDialog")
        tryVerify(() => !dialog.visible)
        const send = (address, title, message) => {
            typed(forgot, { emailField: address }, "sendButton")
            alerted(forgot, "forgotAlert", title, message)
        }
        send("not an address", "Error", "Please check if your email address is correct and verified, then try again.")
        // Any address is answered alike (who gets a mail: the service's tests).
        send("nobody@example.org", "Success", "Password reset link has been sent to your email.")
        find(forgot, "emailField").text = ""
        click(find(forgot, "backToLoginLink"))
        tryVerify(() => dialog.opened && !forgot.visible)
        helper.stopAccountService()
        const unreachable = login(dialog, erin, "second secret", "Login Failed")
        verify(unreachable !== "Please check your email and password.", unreachable)
    }
}
