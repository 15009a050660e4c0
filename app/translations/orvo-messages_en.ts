<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>Messages</name>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>не удалось подготовить файл настроек</source>
        <translation>the settings file could not be prepared</translation>
    </message>
    <message>
        <source>Ошибка:</source>
        <translation>Error:</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Ошибка во время инициализации телефона&#xd;
%1</source>
        <translation>Error while initialising the phone&#xd;
%1</translation>
    </message>
    <message>
        <source>Ошибка чтения каталога&#xd;
%1</source>
        <translation>Error reading the folder&#xd;
%1</translation>
    </message>
    <message>
        <source>Ошибка чтения файла&#xd;
%1</source>
        <translation>Error reading the file&#xd;
%1</translation>
    </message>
    <message>
        <source>Ошибка записи файла&#xd;
%1</source>
        <translation>Error writing the file&#xd;
%1</translation>
    </message>
    <message>
        <source>Ошибка удаления файла&#xd;
%1</source>
        <translation>Error deleting the file&#xd;
%1</translation>
    </message>
    <message>
        <source>Ошибка компиляции JAVA&#xd;
%1</source>
        <translation>Error compiling JAVA&#xd;
%1</translation>
    </message>
    <message>
        <source>Ошибка кэширования спика файлов&#xd;
%1</source>
        <translation>Error caching the file list&#xd;
%1</translation>
    </message>
    <message>
        <source>Х.З. Что за ошибка&#xd;
%1</source>
        <translation>Unknown error while changing the folder&#xd;
%1</translation>
    </message>
    <message>
        <source>Ошибка перезаписи файла&#xd;
%1</source>
        <translation>Error overwriting the file&#xd;
%1</translation>
    </message>
    <message>
        <source>Неопознанная ошибка&#xd;
%1</source>
        <translation>Unrecognised error&#xd;
%1</translation>
    </message>
    <message>
        <source>Файл не найден</source>
        <translation>File not found</translation>
    </message>
    <message>
        <source>Память заполнена</source>
        <translation>Memory full</translation>
    </message>
    <message>
        <source>Время ожидания истекло</source>
        <translation>The wait timed out</translation>
    </message>
    <message>
        <source>Ошибка соединения&#xd;
во время чтения файла</source>
        <translation>Connection error&#xd;
while reading a file</translation>
    </message>
    <message>
        <source>Ошибка соединения&#xd;
во время записи файла</source>
        <translation>Connection error&#xd;
while writing a file</translation>
    </message>
    <message>
        <source>Телефон не отвечает</source>
        <translation>The phone does not answer</translation>
    </message>
    <message>
        <source>Связь с телефоном потеряна: порт %1 отключён или пропал&#xd;
Подключите кабель и нажмите &quot;Старт&quot;</source>
        <translation>The link to the phone is lost: port %1 was unplugged or is gone&#xd;
Plug the cable in and press &quot;Start&quot;</translation>
    </message>
    <message>
        <source>Телефон не подключён</source>
        <translation>The phone is not connected</translation>
    </message>
    <message>
        <source>Список файлов телефона не прочитан целиком: операция прервана</source>
        <translation>The phone&apos;s file list was not read in full: the operation stopped</translation>
    </message>
    <message>
        <source>Телефон прислал неверный ответ&#xd;
&apos;%1&apos; не является числом</source>
        <translation>The phone sent a wrong reply&#xd;
&apos;%1&apos; is not a number</translation>
    </message>
    <message>
        <source>Телефон прислал неверный ответ&#xd;
файл длиннее, чем объявлено (%1 байт)</source>
        <translation>The phone sent a wrong reply&#xd;
the file is longer than announced (%1 bytes)</translation>
    </message>
    <message>
        <source>Телефон прислал неверный ответ&#xd;
строка ответа без конца (%1 байт)</source>
        <translation>The phone sent a wrong reply&#xd;
a reply line without end (%1 bytes)</translation>
    </message>
    <message>
        <source>Телефон прислал неверный ответ&#xd;
OK до конца записи %1</source>
        <translation>The phone sent a wrong reply&#xd;
OK before the end of writing %1</translation>
    </message>
    <message>
        <source>Ошибка работы с файлом на компьютере&#xd;
%1</source>
        <translation>Error with a file on the computer&#xd;
%1</translation>
    </message>
    <message>
        <source>CRC Error While Reading File</source>
        <translation>Checksum error while reading the file</translation>
    </message>
    <message>
        <source>CRC Error While Reading File&#xd;
Файл %1 не сохранён</source>
        <translation>Checksum error while reading the file&#xd;
The file %1 was not saved</translation>
    </message>
    <message>
        <source>Недопустимое имя файла: &quot;%1&quot;</source>
        <translation>Invalid file name: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>Файл &quot;%1&quot; не скопирован: его имя нельзя использовать</source>
        <translation>The file &quot;%1&quot; was not copied: its name cannot be used</translation>
    </message>
    <message>
        <source>Файл &quot;%1&quot; не удалён: недопустимое имя</source>
        <translation>The file &quot;%1&quot; was not deleted: invalid name</translation>
    </message>
    <message>
        <source>Файл &quot;%1&quot; нельзя переименовать: недопустимое имя</source>
        <translation>The file &quot;%1&quot; cannot be renamed: invalid name</translation>
    </message>
    <message>
        <source>Имя файла &quot;%1&quot; нельзя записать в телефон</source>
        <translation>The file name &quot;%1&quot; cannot be written to the phone</translation>
    </message>
    <message>
        <source>Имя файла &quot;%1&quot; нельзя записать в телефон: в нём есть знаки, которых нет в кодировке Windows-1251, или кавычки и переводы строки</source>
        <translation>The file name &quot;%1&quot; cannot be written to the phone: it holds characters that Windows-1251 does not have, or quotes or line breaks</translation>
    </message>
    <message>
        <source>Имя файла нельзя записать в UTF-8</source>
        <translation>The file name cannot be written in UTF-8</translation>
    </message>
    <message>
        <source>Файл %1 слишком большой</source>
        <translation>The file %1 is too large</translation>
    </message>
    <message>
        <source>Не удаётся прочитать файл %1&#xd;
%2</source>
        <translation>Cannot read the file %1&#xd;
%2</translation>
    </message>
    <message>
        <source>Не удаётся прочитать файл %1</source>
        <translation>Cannot read the file %1</translation>
    </message>
    <message>
        <source>Диск только для чтения</source>
        <translation>The disk is read-only</translation>
    </message>
    <message>
        <source>No Room For Default Sound. Please Delete One Of Them</source>
        <translation>No room for another default sound: delete one of them</translation>
    </message>
    <message>
        <source>Not a melody file</source>
        <translation>This is not a melody file</translation>
    </message>
    <message>
        <source>Нет такой папки в телефоне: %1</source>
        <translation>The phone has no such folder: %1</translation>
    </message>
    <message>
        <source>Папка java не найдена</source>
        <translation>The folder java was not found</translation>
    </message>
    <message>
        <source>Слишком много приложений в папке java: список suites.utf не может быть длиннее %1 байт. Удалите часть приложений.</source>
        <translation>Too many applications in the folder java: the list suites.utf cannot be longer than %1 bytes. Delete some of the applications.</translation>
    </message>
    <message>
        <source>Это не описание Java-приложения (.jad): %1</source>
        <translation>This is not a Java application descriptor (.jad): %1</translation>
    </message>
    <message>
        <source>Это не архив Java-приложения (.jar): %1</source>
        <translation>This is not a Java application archive (.jar): %1</translation>
    </message>
    <message>
        <source>В файле %1 нет строки MIDlet-Jar-URL</source>
        <translation>The file %1 has no MIDlet-Jar-URL line</translation>
    </message>
    <message>
        <source>Файл %1 называет архив %2, а не %3</source>
        <translation>The file %1 names the archive %2, not %3</translation>
    </message>
    <message>
        <source>Приложение не установлено: имя %1 уже занято в телефоне</source>
        <translation>The application was not installed: the name %1 is taken on the phone</translation>
    </message>
    <message>
        <source>Не удалось создать временный файл&#xd;
%1</source>
        <translation>Cannot create a temporary file&#xd;
%1</translation>
    </message>
    <message>
        <source>Не удалось открыть временный файл&#xd;
%1</source>
        <translation>Cannot open the temporary file&#xd;
%1</translation>
    </message>
    <message>
        <source>Ошибка чтения временного файла&#xd;
%1</source>
        <translation>Error reading the temporary file&#xd;
%1</translation>
    </message>
    <message>
        <source>Файл слишком большой, переименование отменено</source>
        <translation>The file is too large, the rename was cancelled</translation>
    </message>
    <message>
        <source>Файл прочитан с ошибкой, переименование отменено</source>
        <translation>The file was read with an error, the rename was cancelled</translation>
    </message>
    <message>
        <source>Файл сохранён в %1</source>
        <translation>The file was saved in %1</translation>
    </message>
    <message>
        <source>Не удалось создать папку %1&#xd;
%2</source>
        <translation>Cannot create the folder %1&#xd;
%2</translation>
    </message>
    <message>
        <source>Не удалось записать список резервной копии&#xd;
%1</source>
        <translation>Cannot write the backup&apos;s list&#xd;
%1</translation>
    </message>
    <message>
        <source>Файл вне папки резервной копии: %1</source>
        <translation>A file outside the backup folder: %1</translation>
    </message>
    <message>
        <source>Файл %1 - символическая ссылка: не записан</source>
        <translation>The file %1 is a symbolic link: not written</translation>
    </message>
    <message>
        <source>Файл %1 лежит вне папки резервной копии (%2): не записан</source>
        <translation>The file %1 lies outside the backup folder (%2): not written</translation>
    </message>
    <message>
        <source>Нет файла %1</source>
        <translation>The file %1 is missing</translation>
    </message>
    <message>
        <source>Файл %1 изменился после резервного копирования</source>
        <translation>The file %1 changed after the backup</translation>
    </message>
    <message>
        <source>Idle</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>Инициализируем телефон</source>
        <translation>Initialising the phone</translation>
    </message>
    <message>
        <source>Инициализируем программу</source>
        <translation>Initialising the program</translation>
    </message>
    <message>
        <source>Кэширование списка файлов</source>
        <translation>Caching the file list</translation>
    </message>
    <message>
        <source>Перечитываем папку %1</source>
        <translation>Reading the folder %1 again</translation>
    </message>
    <message>
        <source>Перечитываем текущую папку</source>
        <translation>Reading the current folder again</translation>
    </message>
    <message>
        <source>Копируем файл %1 из %2</source>
        <translation>Copying file %1 of %2</translation>
    </message>
    <message>
        <source>Копируем файл %1</source>
        <translation>Copying the file %1</translation>
    </message>
    <message>
        <source>Copying to Phone %1</source>
        <translation>Copying %1 to the phone</translation>
    </message>
    <message>
        <source>Удаляем файлы %1 из %2</source>
        <translation>Deleting files %1 of %2</translation>
    </message>
    <message>
        <source>Удаляем файл %1 из %2</source>
        <translation>Deleting file %1 of %2</translation>
    </message>
    <message>
        <source>Удаляем %1</source>
        <translation>Deleting %1</translation>
    </message>
    <message>
        <source>Переименовываем файл %1</source>
        <translation>Renaming the file %1</translation>
    </message>
    <message>
        <source>Копируем текущий файл во временную папку</source>
        <translation>Copying the file into the temporary folder</translation>
    </message>
    <message>
        <source>Удаляем старый файл</source>
        <translation>Deleting the old file</translation>
    </message>
    <message>
        <source>Копируем файл с новым именем</source>
        <translation>Copying the file under its new name</translation>
    </message>
    <message>
        <source>Завершение операции</source>
        <translation>Finishing the operation</translation>
    </message>
    <message>
        <source>Завершение текущей операции</source>
        <translation>Finishing the current operation</translation>
    </message>
    <message>
        <source>Компилим ЯВУ</source>
        <translation>Compiling Java</translation>
    </message>
    <message>
        <source>Заходим в java</source>
        <translation>Entering java</translation>
    </message>
    <message>
        <source>Посылаем команду на запись %1</source>
        <translation>Sending the command to write %1</translation>
    </message>
    <message>
        <source>Записываем %1</source>
        <translation>Writing %1</translation>
    </message>
    <message>
        <source>%1 Б</source>
        <translation>%1 B</translation>
    </message>
    <message>
        <source>%1 КБ</source>
        <translation>%1 KB</translation>
    </message>
    <message>
        <source>%1 МБ</source>
        <translation>%1 MB</translation>
    </message>
    <message>
        <source>%1 ГБ</source>
        <translation>%1 GB</translation>
    </message>
    <message>
        <source>%1 ТБ</source>
        <translation>%1 TB</translation>
    </message>
    <message>
        <source>,</source>
        <translation>.</translation>
    </message>
    <message>
        <source>%1 из %2</source>
        <translation>%1 of %2</translation>
    </message>
    <message>
        <source>%1/с</source>
        <translation>%1/s</translation>
    </message>
    <message>
        <source>осталось %1</source>
        <translation>%1 left</translation>
    </message>
    <message>
        <source>Папка %1 в резервной копии не папка (символическая ссылка?): файлы папки %2 не записаны</source>
        <translation>The backup&apos;s folder %1 is not a folder (a symbolic link?): the files of the folder %2 were not written</translation>
    </message>
    <message>
        <source>Папка %1 не принимает файлов</source>
        <translation>The folder %1 takes no files</translation>
    </message>
    <message>
        <source>Файл %1 не сохранён&#xd;
%2</source>
        <translation>The file %1 was not saved&#xd;
%2</translation>
    </message>
    <message>
        <source>Файл &quot;%1&quot; не скопирован: такого имени файла не бывает</source>
        <translation>The file &quot;%1&quot; was not copied: there is no such file name</translation>
    </message>
    <message>
        <source>Файл &quot;%1&quot; не скопирован: в имени есть управляющий символ</source>
        <translation>The file &quot;%1&quot; was not copied: its name holds a control character</translation>
    </message>
    <message>
        <source>Файл &quot;%1&quot; не скопирован: в имени есть знак %2, недопустимый в именах файлов</source>
        <translation>The file &quot;%1&quot; was not copied: its name holds %2, which file names may not hold</translation>
    </message>
    <message>
        <source>Файл &quot;%1&quot; не скопирован: имя кончается точкой или пробелом</source>
        <translation>The file &quot;%1&quot; was not copied: its name ends with a dot or a space</translation>
    </message>
    <message>
        <source>Файл &quot;%1&quot; не скопирован: имя %2 занято устройством</source>
        <translation>The file &quot;%1&quot; was not copied: the name %2 belongs to a device</translation>
    </message>
    <message>
        <source>Нет доступа к порту %1: добавьте учётную запись в группу dialout и войдите в систему заново (см. docs/serial-access.md)</source>
        <translation>No access to the port %1: add your account to the group dialout and log in again (see docs/serial-access.md)</translation>
    </message>
    <message>
        <source>Нет доступа к порту %1: у учётной записи нет прав на это устройство; проверьте его в диспетчере устройств или спросите администратора компьютера</source>
        <translation>No access to the port %1: your account has no rights to this device; check it in the Device Manager or ask the computer&apos;s administrator</translation>
    </message>
    <message>
        <source>Порт %1 занят другой программой: закройте её и нажмите &quot;Старт&quot;</source>
        <translation>The port %1 is held by another program: close it and press &quot;Start&quot;</translation>
    </message>
    <message>
        <source>Порт %1 не найден: устройство отключено или пропало. Проверьте кабель и выберите порт снова</source>
        <translation>The port %1 was not found: the device is unplugged or gone. Check the cable and choose the port again</translation>
    </message>
    <message>
        <source>%1 не последовательный порт: выберите другой порт</source>
        <translation>%1 is not a serial port: choose another port</translation>
    </message>
    <message>
        <source>Порт %1: %2</source>
        <translation>Port %1: %2</translation>
    </message>
</context>
</TS>
