@echo off
rem Runs after every configuration run; here it only leaves a mark.
echo post script ran>> c:\windows\ipconfig_post_ran.txt
