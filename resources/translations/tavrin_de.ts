<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>QConnectionNotifier</name>
    <message>
        <source>Connected to %1</source>
        <translation>Verbunden mit %1</translation>
    </message>
    <message>
        <source>Connection to %1 lost, trying again</source>
        <translation>Verbindung zu %1 verloren, neuer Versuch läuft</translation>
    </message>
    <message>
        <source>Connection to %1 lost</source>
        <translation>Verbindung zu %1 verloren</translation>
    </message>
</context>
<context>
    <name>QMainDialog</name>
    <message>
        <source>Tavrin Client</source>
        <translation>Tavrin Client</translation>
    </message>
    <message>
        <source>Minimize</source>
        <translation>Minimieren</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Username</source>
        <translation>Benutzername</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>Getrennt</translation>
    </message>
    <message>
        <source>DISCONNECTED</source>
        <translation>GETRENNT</translation>
    </message>
    <message>
        <source>Tavrin ADDRESS</source>
        <translation>Tavrin-ADRESSE</translation>
    </message>
    <message>
        <source>Detecting...</source>
        <translation>Wird ermittelt...</translation>
    </message>
    <message>
        <source>TIME CONNECTED</source>
        <translation>VERBINDUNGSDAUER</translation>
    </message>
    <message>
        <source>Auto &amp;Start</source>
        <translation>Automatisch &amp;starten</translation>
    </message>
    <message>
        <source>Auto &amp;Login</source>
        <translation>Automatisch &amp;anmelden</translation>
    </message>
    <message>
        <source>VPN PROTOCOL &amp; ENCRYPTION</source>
        <translation>PROTOKOLL &amp; VERSCHLÜSSELUNG</translation>
    </message>
    <message>
        <source>OpenVPN - 256 bit</source>
        <translation>OpenVPN - 256 Bit</translation>
    </message>
    <message>
        <source>Tavrin IP ADDRESS</source>
        <translation>Tavrin-IP-ADRESSE</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Trennen</translation>
    </message>
    <message>
        <source>Connecting..</source>
        <translation>Wird verbunden..</translation>
    </message>
    <message>
        <source>CONNECTING</source>
        <translation>WIRD VERBUNDEN</translation>
    </message>
    <message>
        <source>CONNECTED</source>
        <translation>VERBUNDEN</translation>
    </message>
    <message>
        <source>Disconnecting..</source>
        <translation>Wird getrennt..</translation>
    </message>
    <message>
        <source>DISCONNECTING</source>
        <translation>WIRD GETRENNT</translation>
    </message>
    <message>
        <source>PUBLIC IP ADDRESS</source>
        <translation>ÖFFENTLICHE IP-ADRESSE</translation>
    </message>
    <message>
        <source>Not Connected</source>
        <translation>Nicht verbunden</translation>
    </message>
    <message>
        <source>TIMEOUT</source>
        <translation>ZEITÜBERSCHREITUNG</translation>
    </message>
    <message>
        <source>UNKNOWN</source>
        <translation>UNBEKANNT</translation>
    </message>
    <message>
        <source>VPN connection is trying to connect to %1.</source>
        <translation>Die VPN-Verbindung zu %1 wird hergestellt.</translation>
    </message>
    <message>
        <source>VPN connection is connected to %1.</source>
        <translation>Die VPN-Verbindung zu %1 ist hergestellt.</translation>
    </message>
    <message>
        <source>VPN connection is disconnected.</source>
        <translation>Die VPN-Verbindung ist getrennt.</translation>
    </message>
    <message>
        <source>VPN connection is disconnecting, but it&apos;s trying to connect to %1.</source>
        <translation>Die VPN-Verbindung ist unterbrochen; sie wird zu %1 wiederhergestellt.</translation>
    </message>
    <message>
        <source>Unknown VPN connection state.</source>
        <translation>Der Zustand der VPN-Verbindung ist unbekannt.</translation>
    </message>
    <message>
        <source>Tavrin: Connecting to %1</source>
        <translation>Tavrin: Verbindung zu %1 wird hergestellt</translation>
    </message>
    <message>
        <source>Tavrin: Connected to %1</source>
        <translation>Tavrin: Verbunden mit %1</translation>
    </message>
    <message>
        <source>Tavrin: Disconnecting</source>
        <translation>Tavrin: Verbindung wird getrennt</translation>
    </message>
    <message>
        <source>Tavrin: Disconnected</source>
        <translation>Tavrin: Getrennt</translation>
    </message>
    <message>
        <source>Tavrin: Reconnecting to %1</source>
        <translation>Tavrin: Verbindung zu %1 wird wiederhergestellt</translation>
    </message>
    <message>
        <source>Tavrin: Unknown state</source>
        <translation>Tavrin: Unbekannter Zustand</translation>
    </message>
    <message>
        <source>Connection error</source>
        <translation>Verbindungsfehler</translation>
    </message>
    <message>
        <source>Can&apos;t connect to Tavrin service.</source>
        <translation>Keine Verbindung zum Tavrin-Dienst möglich.</translation>
    </message>
    <message>
        <source>The user name, the password or the server name is too long to be sent to the Tavrin service.</source>
        <translation>Benutzername, Passwort oder Servername sind zu lang, um an den Tavrin-Dienst gesendet zu werden.</translation>
    </message>
    <message>
        <source>The request could not be sent: the connection to the Tavrin service is closed.</source>
        <translation>Die Anfrage konnte nicht gesendet werden: Die Verbindung zum Tavrin-Dienst ist geschlossen.</translation>
    </message>
    <message>
        <source>Login error</source>
        <translation>Anmeldefehler</translation>
    </message>
    <message>
        <source>Login failed.
Please check your username and password and try again.</source>
        <translation>Die Anmeldung ist fehlgeschlagen.
Bitte überprüfen Sie Benutzername und Passwort und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>Tavrin Status</source>
        <translation>Tavrin-Status</translation>
    </message>
    <message>
        <source>Unknown.</source>
        <translation>Unbekannt.</translation>
    </message>
    <message>
        <source>Minimise</source>
        <translation>Minimieren</translation>
    </message>
    <message>
        <source>Hide to tray</source>
        <translation>Im Infobereich ablegen</translation>
    </message>
    <message>
        <source>Back to the login page</source>
        <translation>Zurück zur Anmeldung</translation>
    </message>
    <message>
        <source>Bandwidth</source>
        <translation>Bandbreite</translation>
    </message>
</context>
<context>
    <name>QTavrinServiceConnection</name>
    <message>
        <source>Connection error</source>
        <translation>Verbindungsfehler</translation>
    </message>
    <message>
        <source>Connection to Tavrin service was closed.
Terminating this app.</source>
        <translation>Die Verbindung zum Tavrin-Dienst wurde getrennt.
Das Programm wird beendet.</translation>
    </message>
</context>
<context>
    <name>QTavrinTray</name>
    <message>
        <source>Disconnect</source>
        <translation>Trennen</translation>
    </message>
    <message>
        <source>Connecting</source>
        <translation>Wird verbunden</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>&amp;Connect</source>
        <translation>&amp;Verbinden</translation>
    </message>
    <message>
        <source>&amp;Status</source>
        <translation>Verbindungs&amp;status</translation>
    </message>
    <message>
        <source>&amp;Jump to fastest</source>
        <translation>&amp;Zum schnellsten Server</translation>
    </message>
    <message>
        <source>C&amp;hange country</source>
        <translation>&amp;Land wechseln</translation>
    </message>
    <message>
        <source>&amp;Feedback</source>
        <translation>&amp;Rückmeldung</translation>
    </message>
    <message>
        <source>Se&amp;ttings</source>
        <translation>&amp;Optionen</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
</context>
<context>
    <name>QVPNBandwidthWidget</name>
    <message>
        <source>Download %1, upload %2</source>
        <translation>Download %1, Upload %2</translation>
    </message>
</context>
<context>
    <name>QVPNServerComboBox</name>
    <message>
        <source>Connect</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>favourite</source>
        <translation>Favorit</translation>
    </message>
    <message>
        <source>no answer</source>
        <translation>keine Antwort</translation>
    </message>
    <message>
        <source>Connect, %1</source>
        <translation>Verbinden, %1</translation>
    </message>
</context>
<context>
    <name>TavrinTrayHost</name>
    <message>
        <source>Tavrin Client needs a system tray</source>
        <translation>Tavrin Client benötigt einen Infobereich</translation>
    </message>
    <message>
        <source>Tavrin Client lives in the system tray (the notification area of the panel), and this desktop shows none. Add a system tray to the panel, or turn on the desktop&apos;s support for tray icons, then start Tavrin Client again.</source>
        <translation>Tavrin Client wird über den Infobereich der Kontrollleiste bedient, und diese Arbeitsumgebung zeigt keinen an. Fügen Sie der Kontrollleiste einen Infobereich hinzu oder schalten Sie die Unterstützung für Symbole im Infobereich ein und starten Sie Tavrin Client dann erneut.</translation>
    </message>
</context>
</TS>
