# The class-based DSC resource SorvaneLdapSettings: Get, Test and Set against
# the registry of the test prefix, as a DSC engine calls them.

BeforeAll {
    Import-Module (Join-Path $PSScriptRoot 'TestHelpers.psm1') -Force
    Import-Module (Join-Path $env:SORVANE_MODULE 'Sorvane.psd1') -Force
    function New-Resource {
        param([string]$Suffix)
        InModuleScope Sorvane -Parameters @{ Suffix = $Suffix } {
            param($Suffix)
            $resource = [SorvaneLdapSettings]::new()
            $resource.View = '32'
            $resource.Suffix = $Suffix
            $resource
        }
    }
}

Describe 'SorvaneLdapSettings' {
    It 'Get reports the values as read and the verdict; Test agrees with it' {
        Set-LdapValues Yes no dc=x dc=y
        $resource = New-Resource
        $state = $resource.Get()
        $state.View | Should -Be '32'
        @($state.EnableLoginAuth, $state.EnableCRAuth, $state.LdapSuffix, $state.DNSuffix) |
            Should -Be @('Yes', 'no', 'dc=x', 'dc=y')
        $state.Compliant | Should -BeFalse
        $state.Problems.Count | Should -Be 2
        $resource.Test() | Should -BeFalse
    }

    It 'Set writes the suffix into both values and Rule One, after which Test is true' {
        Set-LdapValues no Yes dc=x dc=y
        $resource = New-Resource -Suffix 'dc=example,dc=com'
        $resource.Set()
        @((Get-LdapValues).Values) | Should -Be @('Yes', 'Yes', 'dc=example,dc=com', 'dc=example,dc=com')
        $resource.Test() | Should -BeTrue
    }

    It 'Set without a suffix corrects Rule One, then fails on suffixes that differ' {
        Set-LdapValues no Yes dc=x dc=y
        { (New-Resource).Set() } | Should -Throw '*still not compliant*LdapSuffix and DNSuffix differ*'
        @((Get-LdapValues).Values) | Should -Be @('Yes', 'Yes', 'dc=x', 'dc=y')
    }

    It 'throws the reason of a run that failed, from <Method>' -ForEach @(
        @{ Method = 'Get' }, @{ Method = 'Test' }, @{ Method = 'Set' }
    ) {
        Set-LdapValues -NoKeys
        $resource = New-Resource -Suffix 'dc=x'
        { $resource.$Method() } | Should -Throw 'Sorvane: could not read the settings*'
    }
}
