import QtQuick
import QtTest
import Parvix

// The four account dialogs against the reference account service: register, the mailed
// password, login, password change, reset link, and the alerts of each failure.
DialogTestCase {
    id: testCase
    name: "AccountDialogs"

    SignalSpy {
        id: loggedInSpy
        signalName: "loggedIn"
    }

    SignalSpy {
        id: switchSpy
        signalName: "switchToRegister"
    }

    SignalSpy {
        id: registrations
        target: Authentication
        signalName: "registerFinished"
    }

    SignalSpy {
        id: loginRequests
        target: Authentication
        signalName: "loginFinished"
    }

    property bool serviceRunning: false

    function initTestCase() {
        if (!helper.accountServiceAvailable)
            skip("the build has no reference account service")
        serviceRunning = helper.startAccountService(["--login-free-failures", "1",
                                                     "--login-delay", "600",
                                                     "--login-limit-address", "100"]) !== ""
        verify(serviceRunning, "the account service starts")
        UserSession.clearSession()
    }

    function cleanupTestCase() {
        UserSession.clearSession()
        helper.stopAccountService()
    }

    // The alert a dialog opened, after checking its texts; then it is closed.
    function expectAlert(dialog, name, title, message) {
        const alert = findChild(dialog, name)
        tryVerify(() => alert.opened, 10000, title + " is shown")
        compare(alert.alertTitle, title)
        if (message !== undefined)
            compare(alert.alertMessage, message)
        const text = alert.alertMessage
        return { alert: alert, message: text }
    }

    function dismiss(result) {
        result.alert.close()
        tryVerify(() => !result.alert.visible)
    }

    function login(dialog, email, password) {
        typeText(find(dialog, "emailField"), email)
        typeText(find(dialog, "passwordField"), password)
        click(find(dialog, "loginButton"))
    }

    function test_1_register() {
        const dialog = openDialog(make("MemberRegisterDialog"))
        typeText(find(dialog, "emailField"), "erin@example")
        click(find(dialog, "registerButton"))
        dismiss(expectAlert(dialog, "registerAlert", "Invalid Email",
                            "Please enter a valid email address."))

        typeText(find(dialog, "emailField"), "erin@example.org")
        click(find(dialog, "registerButton"))
        const done = expectAlert(dialog, "registerAlert", "Registration Successful",
                                 "Please check your email for the default password.")
        compare(done.alert.titleColor, Theme.textGreen)
        dismiss(done)
        compare(helper.mailedPassword("erin@example.org").length, 12)

        // A registered address gets the same answer; its owner is told by mail.
        click(find(dialog, "registerButton"))
        dismiss(expectAlert(dialog, "registerAlert", "Registration Successful"))
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
        dismiss(expectAlert(dialog, "loginAlert", "Invalid Email", "Please enter a valid email address."))
        login(dialog, "erin@example.org", "1234567")
        dismiss(expectAlert(dialog, "loginAlert", "Invalid Password",
                            "Please enter a password with at least 8 characters."))
        compare(loginRequests.count, 0)

        // A wrong password gets the dialog's own text, not the service's.
        login(dialog, "erin@example.org", "wrong password")
        dismiss(expectAlert(dialog, "loginAlert", "Login Failed", "Please check your email and password."))
        verify(!UserSession.isLoggedIn)

        login(dialog, "erin@example.org", password)
        tryCompare(loggedInSpy, "count", 1, 10000)
        tryVerify(() => !dialog.visible)
        compare(UserSession.userEmail, "erin@example.org")

        // The profile.
        const profile = openDialog(make("UserProfileDialog"))
        compare(find(profile, "emailText").text, "erin@example.org")
        compare(find(profile, "verifiedText").text, "Yes")

        click(find(profile, "changePasswordButton"))
        const box = findChild(profile, "changePasswordBox")
        tryVerify(() => box.opened)
        const error = find(box, "errorLine")
        const confirm = find(box, "confirmButton")
        const steps = [["", "", "", "Please enter old password"],
                       [password, "", "", "Please enter new password"],
                       [password, "1234567", "1234567", "Password must be at least 8 characters"],
                       [password, "12345678", "12345679", "Passwords do not match"]]
        for (const [oldText, newText, confirmText, message] of steps) {
            typeText(find(box, "oldPasswordField"), oldText)
            typeText(find(box, "newPasswordField"), newText)
            typeText(find(box, "confirmPasswordField"), confirmText)
            click(confirm)
            compare(error.text, message)
        }
        typeText(find(box, "confirmPasswordField"), "12345678")
        compare(box.problem(), "", "eight characters are enough")

        // The service's reason in the error line.
        typeText(find(box, "oldPasswordField"), "not the password")
        typeText(find(box, "newPasswordField"), "second secret")
        typeText(find(box, "confirmPasswordField"), "second secret")
        click(confirm)
        tryVerify(() => error.text !== "", 10000)
        verify(error.text !== "Passwords do not match")

        typeText(find(box, "oldPasswordField"), password)
        click(confirm)
        const changed = expectAlert(profile, "passwordChangedAlert", "Success",
                                    "Password changed successfully, please login again.")
        tryVerify(() => !box.visible && !profile.visible)
        verify(!UserSession.isLoggedIn)
        dismiss(changed)

        // The new password works.
        openDialog(dialog)
        login(dialog, "erin@example.org", "second secret")
        tryCompare(loggedInSpy, "count", 2, 10000)
        verify(UserSession.isLoggedIn)

        // Logout.
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
            dismiss(expectAlert(dialog, "loginAlert", "Login Failed",
                                "Please check your email and password."))
        }
        login(dialog, "erin@example.org", "wrong password 3")
        const limited = expectAlert(dialog, "loginAlert", "Login Failed")
        verify(limited.message.startsWith("Too many failed login attempts."), limited.message)
        dismiss(limited)

        helper.setAccountUrl("http://127.0.0.1:9")
        login(dialog, "erin@example.org", "second secret")
        const unreachable = expectAlert(dialog, "loginAlert", "Login Failed")
        verify(unreachable.message !== "Please check your email and password.", unreachable.message)
        dismiss(unreachable)
        helper.startAccountService([])
    }

    function test_4_forgotPasswordAndSwitching() {
        const login = make("MemberLoginDialog")
        switchSpy.target = login
        switchSpy.clear()
        openDialog(login)
        click(find(login, "registerLink"))
        tryVerify(() => !login.visible)
        compare(switchSpy.count, 1)

        openDialog(login)
        click(find(login, "forgotPasswordLink"))
        const forgot = findChild(login, "forgotPasswordDialog")
        tryVerify(() => forgot.opened && !login.visible)
        compare(forgot.title, "Forgot Password")

        const fixedText = "Please check if your email address is correct and verified, then try again."
        typeText(find(forgot, "emailField"), "not an address")
        click(find(forgot, "sendButton"))
        dismiss(expectAlert(forgot, "forgotAlert", "Error", fixedText))

        // An unknown address is answered alike, and nothing is mailed.
        helper.startAccountService([])
        typeText(find(forgot, "emailField"), "nobody@example.org")
        click(find(forgot, "sendButton"))
        dismiss(expectAlert(forgot, "forgotAlert", "Success"))

        registrations.clear()
        Authentication.register_user_async("frank@example.org")
        tryCompare(registrations, "count", 1, 10000)
        typeText(find(forgot, "emailField"), "frank@example.org")
        click(find(forgot, "sendButton"))
        const sent = expectAlert(forgot, "forgotAlert", "Success",
                                 "Password reset link has been sent to your email.")
        compare(sent.alert.titleColor, Theme.textGreen)
        dismiss(sent)
        tryVerify(() => helper.mailCount("frank@example.org") === 2, 10000)
        compare(helper.mailCount("nobody@example.org"), 0)

        find(forgot, "emailField").text = ""
        click(find(forgot, "backToLoginLink"))
        tryVerify(() => login.opened && !forgot.visible)
    }
}
