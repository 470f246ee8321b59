// Preferences of the demo profile
user_pref("mail.shell.checkDefaultClient", false);
