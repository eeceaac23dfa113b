import QtQuick
import QtTest
import Parvix

// The four account dialogs against the reference account service: the refusals, failures and
// alerts of register, login, password change and reset link; a registration and login by
// mouse: the journeys.
DialogTestCase {
    id: testCase
    name: "AccountDialogs"

    SignalSpy {
        id: loggedInSpy
        signalName: "loggedIn"
    }

    SignalSpy {
        id: loginRequests
        target: Authentication
        signalName: "loginFinished"
    }

    function initTestCase() {
        if (!helper.accountServiceAvailable)
            skip("the build has no reference account service")
        verify(helper.startAccountService(["--login-free-failures", "1", "--login-delay", "600",
                                           "--login-limit-address", "100"]) !== "", "the account service starts")
        UserSession.clearSession()
    }

    function cleanupTestCase() {
        UserSession.clearSession()
        helper.stopAccountService()
    }

    // The alert the dialog opened, with this title (and message); closed. Its message.
    function alerted(dialog, name, title, message) {
        const alert = findChild(dialog, name)
        tryVerify(() => alert.opened, 10000, title + " is shown")
        compare(alert.alertTitle, title)
        if (message !== undefined)
            compare(alert.alertMessage, message)
        if (title.startsWith("Success") || title.endsWith("Successful"))
            verify(Qt.colorEqual(alert.titleColor, Theme.textGreen), "success in green")
        const text = alert.alertMessage
        alert.close()
        tryVerify(() => !alert.visible)
        return text
    }

    function typed(dialog, fields, button) {
        for (const name in fields)
            typeText(find(dialog, name), fields[name])
        click(find(dialog, button))
    }

    function login(dialog, email, password) {
        typed(dialog, { emailField: email, passwordField: password }, "loginButton")
    }

    function test_1_register() {
        const dialog = openDialog(make("MemberRegisterDialog"))
        typed(dialog, { emailField: "erin@example" }, "registerButton")
        alerted(dialog, "registerAlert", "Invalid Email", "Please enter a valid email address.")
        typed(dialog, { emailField: "erin@example.org" }, "registerButton")
        alerted(dialog, "registerAlert", "Registration Successful", "Please check your email for the default password.")
        compare(helper.mailedPassword("erin@example.org").length, 12)
        // A registered address gets the same answer; its owner is told by mail.
        click(find(dialog, "registerButton"))
        alerted(dialog, "registerAlert", "Registration Successful")
        compare(helper.mailCount("erin@example.org"), 2)
    }

    function test_2_loginAndProfile() {
        const password = helper.mailedPassword("erin@example.org")
        verify(password !== "")
        const dialog = make("MemberLoginDialog")
        loggedInSpy.target = dialog
        loggedInSpy.clear()
        openDialog(dialog)
        verify(!find(dialog, "loginButton").enabled)
        // Refused before any request: the address as typed, and a seven-character password.
        loginRequests.clear()
        login(dialog, " erin@example.org", password)
        alerted(dialog, "loginAlert", "Invalid Email", "Please enter a valid email address.")
        login(dialog, "erin@example.org", "1234567")
        alerted(dialog, "loginAlert", "Invalid Password", "Please enter a password with at least 8 characters.")
        compare(loginRequests.count, 0)
        // A wrong password gets the dialog's own text, not the service's.
        login(dialog, "erin@example.org", "wrong password")
        alerted(dialog, "loginAlert", "Login Failed", "Please check your email and password.")
        verify(!UserSession.isLoggedIn)
        login(dialog, "erin@example.org", password)
        tryCompare(loggedInSpy, "count", 1, 10000)
        tryVerify(() => !dialog.visible)
        compare(UserSession.userEmail, "erin@example.org")

        const profile = openDialog(make("UserProfileDialog"))
        compare([find(profile, "emailText").text, find(profile, "verifiedText").text], ["erin@example.org", "Yes"])
        click(find(profile, "changePasswordButton"))
        const box = findChild(profile, "changePasswordBox")
        tryVerify(() => box.opened)
        const error = find(box, "errorLine")
        const change = (oldText, newText, confirmText) => typed(box, { oldPasswordField: oldText,
                                     newPasswordField: newText, confirmPasswordField: confirmText }, "confirmButton")
        const steps = [["", "", "", "Please enter old password"],
                       [password, "", "", "Please enter new password"],
                       [password, "1234567", "1234567", "Password must be at least 8 characters"],
                       [password, "12345678", "12345679", "Passwords do not match"]]
        for (const [oldText, newText, confirmText, message] of steps) {
            change(oldText, newText, confirmText)
            compare(error.text, message)
        }
        typeText(find(box, "confirmPasswordField"), "12345678")
        compare(box.problem(), "", "eight characters are enough")
        // The service's reason in the error line.
        change("not the password", "second secret", "second secret")
        tryVerify(() => error.text !== "", 10000)
        verify(error.text !== "Passwords do not match")
        change(password, "second secret", "second secret")
        tryVerify(() => !box.visible && !profile.visible)
        verify(!UserSession.isLoggedIn)
        alerted(profile, "passwordChangedAlert", "Success", "Password changed successfully, please login again.")
        // The new password works; then logout.
        openDialog(dialog)
        login(dialog, "erin@example.org", "second secret")
        tryCompare(loggedInSpy, "count", 2, 10000)
        openDialog(profile)
        click(find(profile, "logoutButton"))
        tryVerify(() => !profile.visible)
        openDialog(profile)
        compare(find(profile, "emailText").text, "Not logged in")
    }

    function test_3_rateLimitAndUnreachableServiceShowTheirMessage() {
        const dialog = openDialog(make("MemberLoginDialog"))
        for (let i = 0; i < 2; ++i) {
            login(dialog, "erin@example.org", "wrong password " + i)
            alerted(dialog, "loginAlert", "Login Failed", "Please check your email and password.")
        }
        login(dialog, "erin@example.org", "wrong password 3")
        const limited = alerted(dialog, "loginAlert", "Login Failed")
        verify(limited.startsWith("Too many failed login attempts."), limited)
        helper.setAccountUrl("http://127.0.0.1:9")
        login(dialog, "erin@example.org", "second secret")
        const unreachable = alerted(dialog, "loginAlert", "Login Failed")
        verify(unreachable !== "Please check your email and password.", unreachable)
        helper.startAccountService([])
    }

    function test_4_forgotPasswordAndSwitching() {
        const login = make("MemberLoginDialog")
        let switched = 0
        login.switchToRegister.connect(() => ++switched)
        openDialog(login)
        click(find(login, "registerLink"))
        tryVerify(() => !login.visible && switched === 1)
        openDialog(login)
        click(find(login, "forgotPasswordLink"))
        const forgot = findChild(login, "forgotPasswordDialog")
        tryVerify(() => forgot.opened && !login.visible)
        compare(forgot.title, "Forgot Password")
        const send = address => typed(forgot, { emailField: address }, "sendButton")
        send("not an address")
        alerted(forgot, "forgotAlert", "Error",
                "Please check if your email address is correct and verified, then try again.")
        // An unknown address is answered alike, and nothing is mailed.
        helper.startAccountService([])
        send("nobody@example.org")
        alerted(forgot, "forgotAlert", "Success")
        let registered = 0
        Authentication.registerFinished.connect(() => ++registered)
        Authentication.register_user_async("frank@example.org")
        tryVerify(() => registered === 1, 10000)
        send("frank@example.org")
        alerted(forgot, "forgotAlert", "Success", "Password reset link has been sent to your email.")
        tryVerify(() => helper.mailCount("frank@example.org") === 2, 10000)
        compare(helper.mailCount("nobody@example.org"), 0)
        find(forgot, "emailField").text = ""
        click(find(forgot, "backToLoginLink"))
        tryVerify(() => login.opened && !forgot.visible)
    }
}
